#include "application_folder.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <string>
#include <utility>

namespace corvalis::qt {
namespace {

constexpr bool kIdentificationInUserConfig = CORVALIS_SETTINGS_IN_USER_CONFIG != 0;

std::string nativePath(const QString& folder) {
    return QDir::toNativeSeparators(folder).toStdString();
}

std::string userConfigFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/corvalis");
    // A folder that cannot be made shows up as the store's own failure when it opens the file.
    QDir().mkpath(folder);
    return nativePath(folder);
}

}  // namespace

app::Folders folders() {
    std::string program = nativePath(QCoreApplication::applicationDirPath());
    std::string identification = kIdentificationInUserConfig ? userConfigFolder() : program;
    return {std::move(program), std::move(identification)};
}

}  // namespace corvalis::qt
