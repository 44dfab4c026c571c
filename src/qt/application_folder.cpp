#include "application_folder.hpp"

#include <QCoreApplication>

namespace corvalis::qt {

std::filesystem::path applicationFolder() {
    // UTF-16 keeps any character of the folder's name on both Windows and Linux.
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
}

}  // namespace corvalis::qt
