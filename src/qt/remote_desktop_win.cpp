#include <windows.h>

#include <QProcess>

#include "remote_desktop.hpp"

namespace corvalis::qt {

bool RemoteDesktopStarter::startRemoteDesktop(const launch::RemoteDesktopCommand& command) {
    // mstsc.exe gets the command line exactly as written: QProcess would add a blank of its own
    // between the program and native arguments.
    const QString commandLine = QString::fromStdString(command.commandLine);
    QProcess process;
    process.setProgram(QStringLiteral("mstsc.exe"));
    process.setCreateProcessArgumentsModifier(
        [&commandLine](QProcess::CreateProcessArguments* args) {
            args->arguments = commandLine;
            args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
            args->startupInfo->wShowWindow = SW_SHOWNORMAL;
        });
    return process.startDetached();
}

}  // namespace corvalis::qt
