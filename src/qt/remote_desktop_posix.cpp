#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStringList>
#include <utility>
#include <vector>

#include "app/control_table.hpp"
#include "qt_text.hpp"
#include "remote_desktop.hpp"
#include "window_font.hpp"

extern char** environ;

namespace corvalis::qt {
namespace {

// FreeRDP reads at most this much of a password; the cap also keeps it within a pipe's buffer.
constexpr int kPasswordMaxLength = 511;

struct FreeRdp {
    QString path;
    bool version3 = false;
};

struct Credentials {
    QString user;
    QString domain;
    QString password;
};

// FreeRDP 3 first; distributions that still ship FreeRDP 2 name it xfreerdp. The SDL client of
// FreeRDP 3, which needs no X server (a Wayland desktop), takes the same arguments.
FreeRdp findFreeRdp() {
    for (const auto& [name, version3] : {std::pair{"xfreerdp3", true}, std::pair{"xfreerdp", false},
                                         std::pair{"sdl-freerdp3", true}}) {
        QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty()) {
            return {path, version3};
        }
    }
    return {};
}

QString loginName() {
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

// The field's text, the field left empty: the copy returned is the only one, so it can be wiped.
QString takeText(QLineEdit& field) {
    QString text = field.text();
    field.setText(QString());
    return text;
}

// Overwrites a secret where it lies, before its buffer is freed.
template <typename Text>
void wipe(Text& text) {
    explicit_bzero(text.data(), static_cast<std::size_t>(text.size()) * sizeof(*text.data()));
}

// The user name starts as the login name; empty when the user cancels.
std::optional<Credentials> askCredentials(QWidget* window) {
    QDialog dialog(window);
    dialog.setWindowTitle(toQString(app::kApplicationTitle));
    dialog.setFont(windowFont());
    auto* form = new QFormLayout(&dialog);
    auto* user = new QLineEdit(loginName(), &dialog);
    auto* password = new QLineEdit(&dialog);
    password->setEchoMode(QLineEdit::Password);
    password->setMaxLength(kPasswordMaxLength);
    auto* domain = new QLineEdit(&dialog);
    form->addRow(QStringLiteral("Usuário:"), user);
    form->addRow(QStringLiteral("Senha:"), password);
    form->addRow(QStringLiteral("Domínio:"), domain);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    (user->text().isEmpty() ? user : password)->setFocus();
    const bool accepted = dialog.exec() == QDialog::Accepted;
    Credentials credentials{user->text(), domain->text(), takeText(*password)};
    if (!accepted) {
        wipe(credentials.password);
        return std::nullopt;
    }
    return credentials;
}

QStringList freeRdpArguments(const ports::RemoteDesktopCommand& command, const FreeRdp& freeRdp,
                             const Credentials& credentials) {
    QStringList arguments;
    for (const std::string& argument : command.freeRdpArguments) {
        arguments << QString::fromStdString(argument);
    }
    // A server's certificate is trusted on first use and refused, without a question, once it has
    // changed. FreeRDP 3 asks about a changed one unless told to deny it (its SDL client in a
    // dialog of its own); FreeRDP 2 asks on standard input, where it finds no answer.
    arguments << (freeRdp.version3 ? QStringLiteral("/cert:tofu,deny")
                                   : QStringLiteral("/cert-tofu"));
    // Only the password comes on standard input, read before connecting: FreeRDP 2 reads nothing
    // else there for a server that does without Network Level Authentication, as xrdp does.
    if (!credentials.user.isEmpty()) {
        arguments << QStringLiteral("/u:") + credentials.user;
    }
    if (!credentials.domain.isEmpty()) {
        arguments << QStringLiteral("/d:") + credentials.domain;
    }
    return arguments << QStringLiteral("/from-stdin:force");
}

// Starts the program as our own child, so its exit status can be had, with the input as its
// standard input and nothing more to read after it: any question FreeRDP asks there is declined.
// Returns the child's process id, or -1.
pid_t spawn(const QString& program, const QStringList& arguments, const QByteArray& input) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return -1;
    }
    std::vector<QByteArray> storage{QFile::encodeName(program)};
    for (const QString& argument : arguments) {
        storage.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    // The input fits the pipe's buffer, so neither write waits for FreeRDP; our own read end, still
    // open, spares us SIGPIPE should FreeRDP have ended already.
    if (pid > 0 && (write(ends[1], input.constData(), static_cast<std::size_t>(input.size())) !=
                        input.size() ||
                    write(ends[1], "\n", 1) != 1)) {
        kill(pid, SIGTERM);
    }
    close(ends[1]);
    close(ends[0]);
    return pid;
}

}  // namespace

RemoteDesktopStarter::RemoteDesktopStarter(QWidget* window) : window_(window) {}

ports::StartResult RemoteDesktopStarter::startRemoteDesktop(
    const ports::RemoteDesktopCommand& command) {
    const FreeRdp freeRdp = findFreeRdp();
    if (freeRdp.path.isEmpty()) {
        return ports::StartResult::NotStarted;
    }
    std::optional<Credentials> credentials = askCredentials(window_);
    if (!credentials) {
        return ports::StartResult::Cancelled;
    }
    QByteArray password = credentials->password.toUtf8();
    wipe(credentials->password);
    const pid_t pid =
        spawn(freeRdp.path, freeRdpArguments(command, freeRdp, *credentials), password);
    wipe(password);
    if (pid <= 0) {
        return ports::StartResult::NotStarted;
    }
    watch(pid);
    return ports::StartResult::Started;
}

void RemoteDesktopStarter::watch(int pid) {
    // A process file descriptor turns readable once the process has ended. Without one (Linux
    // before 5.3) the end goes unreported.
    const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (descriptor < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, pid, descriptor] {
        notifier->setEnabled(false);
        notifier->deleteLater();
        close(descriptor);
        int status = 0;
        if (waitpid(pid, &status, 0) == pid) {
            ended_(WIFEXITED(status) ? std::optional(WEXITSTATUS(status)) : std::nullopt);
        }
    });
}

}  // namespace corvalis::qt
