#include "application_folder.hpp"

#include <QCoreApplication>
#include <QDir>

namespace corvalis::qt {

std::string applicationFolder() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
}

}  // namespace corvalis::qt
