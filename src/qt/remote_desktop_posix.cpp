#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "remote_desktop.hpp"

namespace corvalis::qt {
namespace {

// FreeRDP 3 first; distributions that still ship FreeRDP 2 name it xfreerdp.
QString findFreeRdp() {
    for (const char* name : {"xfreerdp3", "xfreerdp"}) {
        QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty()) {
            return path;
        }
    }
    return {};
}

}  // namespace

bool RemoteDesktopStarter::startRemoteDesktop(const ports::RemoteDesktopCommand& command) {
    const QString program = findFreeRdp();
    if (program.isEmpty()) {
        return false;
    }
    QStringList arguments;
    for (const std::string& argument : command.freeRdpArguments) {
        arguments << QString::fromStdString(argument);
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // A certificate question asked on a terminal nobody watches would hang the client unseen.
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

}  // namespace corvalis::qt
