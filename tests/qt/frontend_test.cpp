// The Qt front end against real things: loopback TCP to the reference control server, Qt's event
// loop, a recording stand-in for FreeRDP on PATH, the desktop's URL handlers, the window drawn
// from the core's control table, and the real FreeRDP against Debian's xrdp on an Xvfb display.
#include <unistd.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/control_table.hpp"
#include "event_timer.hpp"
#include "main_window.hpp"
#include "qt_text.hpp"
#include "remote_desktop.hpp"
#include "tcp_socket.hpp"
#include "window_font.hpp"

namespace app = corvalis::app;
using app::ControlId;
using namespace corvalis::qt;

namespace {

// The bound of every wait for something that should happen; only reached when a test fails.
constexpr std::chrono::milliseconds kPatience{10000};
constexpr int kPatienceMs = static_cast<int>(kPatience.count());
// xrdp on a loopback port (%1), with its files in a folder (%2); what a session offers it is
// logged. Its one session type hands over to a VNC server that is not there, which it reports in
// the session window.
constexpr char kXrdpIni[] =
    "[Globals]\nport=tcp://127.0.0.1:%1\nsecurity_layer=tls\nallow_channels=true\n"
    "certificate=%2/cert.pem\nkey_file=%2/key.pem\n"
    "[Logging]\nLogFile=%2/xrdp.log\nLogLevel=DEBUG\nEnableSyslog=false\n"
    "[Sessao]\nlib=libvnc.so\nip=127.0.0.1\nport=1\n";
// Long enough for a stray event to show itself if one were coming.
constexpr std::chrono::milliseconds kSettle{200};
constexpr std::chrono::milliseconds kTick{10};

// The one company the server knows, with Windows-1252 in its name and in an item passed on as is.
const QByteArray kIdentification = QByteArrayLiteral("associa\xE7\xE3o");
const QByteArray kRecord =
    QByteArrayLiteral("10.0.0.7|Associa\xE7\xE3o Ltda|plano-a|3390|8080|ativo|2024-01-10|-|-");
// What the credentials dialog is given.
const QString kUser = QStringLiteral("ana.souza");
const QString kDomain = QStringLiteral("TOLVAR");
const QString kPassword = QStringLiteral("Senha-7391-secreta");

QRect pixels(const app::ControlDefinition& control) {
    return {app::twipsToPixels(control.left), app::twipsToPixels(control.top),
            app::twipsToPixels(control.width), app::twipsToPixels(control.height)};
}

// The colour on screen where the red light stands.
QColor lightSpot(QWidget& window) {
    const QRect light = pixels(app::control(ControlId::sinalVermelho));
    return window.grab().toImage().pixelColor(light.center());
}

// The window as main() opens it, its application folder a temporary one with a blank and an
// accent. Every message box it shows is checked against the convention, noted and answered; the
// credentials dialog is filled in, or cancelled.
struct Window {
    explicit Window(corvalis::link::Endpoint server = {"127.0.0.1", 0})
        : window(folder.path().toStdString(), std::move(server)) {
        QObject::connect(&answer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages << box->text();
                box->button(QMessageBox::Ok)->click();  // first, so a failed check leaves no box
                QCOMPARE(box->windowTitle(), QStringLiteral("Pelmark"));
                QCOMPARE(box->icon(), QMessageBox::NoIcon);
                QCOMPARE(box->buttons().size(), 1);
            } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                const auto fields = dialog->findChildren<QLineEdit*>();  // user, password, domain
                fields.at(0)->setText(kUser);
                QTest::keyClicks(fields.at(1), kPassword);
                fields.at(2)->setText(kDomain);
                cancelCredentials ? dialog->reject() : dialog->accept();
            }
        });
        answer.start(kTick);
        window.start();
    }
    template <typename Widget = QWidget>
    Widget* control(ControlId id) {
        return window.findChild<Widget*>(QString::fromUtf8(app::control(id).name));
    }
    // The status as a screen reader hears it.
    QString status() {
        return QAccessible::queryAccessibleInterface(control(ControlId::Aviso))
            ->text(QAccessible::Name);
    }
    void click(ControlId id) { QTest::mouseClick(control(id), Qt::LeftButton); }
    void connectAs(const QString& identification) {
        control<QLineEdit>(ControlId::IdentInst)->setText(identification);
        click(ControlId::Conectar);
    }

    QTemporaryDir folder{QDir::tempPath() + QStringLiteral("/corvalis pasta ç-XXXXXX")};
    QStringList messages;
    bool cancelCredentials = false;
    QTimer answer;
    MainWindow window;
};

}  // namespace

class FrontendTest : public QObject {
    Q_OBJECT

public slots:
    // Takes the browser's place for http URLs.
    void recordUrl(const QUrl& url) { urls_ << url.toString(QUrl::FullyEncoded); }

private slots:
    void initTestCase() {
        loadTahoma();
        // Standard input becomes a pipe, like a terminal nobody watches: the remote-desktop client
        // must get the password alone and nothing more to wait for.
        int ends[2];
        QCOMPARE(pipe(ends), 0);
        QCOMPARE(dup2(ends[0], STDIN_FILENO), STDIN_FILENO);
        // Only the stand-ins are on PATH, so a FreeRDP installed on the machine is never started
        // but where a test asks for it.
        path_ = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin_.path()));
        qputenv("CORVALIS_RDP_RECORD", QFile::encodeName(bin_.filePath(QStringLiteral("record"))));

        QFile table(bin_.filePath(QStringLiteral("table")));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write(kIdentification + '=' + kRecord + '\n');
        QTcpServer free;  // a loopback port for xrdp
        QVERIFY(free.listen(QHostAddress::LocalHost));
        rdpPort_ = free.serverPort();
        table.write("tolvar=127.0.0.1|Tolvar|p|" + QByteArray::number(rdpPort_) + "|0|a|-|-|-\n");
        table.close();
        server_.setReadChannel(QProcess::StandardError);
        server_.start(QStringLiteral(CORVALIS_CONTROL_SERVER_PROGRAM),
                      {"--table", table.fileName(), "--port", "0"});
        // The server names the port it picked once it listens.
        const QRegularExpression listening(QStringLiteral("listening on [^ ]+:(\\d+)"));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += server_.readAll(),
                                  port_ = static_cast<quint16>(
                                      listening.match(QString::fromUtf8(log)).captured(1).toUInt()),
                                  port_ != 0),
                                 kPatienceMs);
    }

    void cleanupTestCase() {
        server_.terminate();
        server_.waitForFinished(kPatienceMs);
    }

    void socketCarriesTheConversationByteForByte() {
        TcpSocket socket;
        QSignalSpy arrivals(&socket, &TcpSocket::dataArrival);
        socket.setRemoteHost("127.0.0.1");
        socket.setRemotePort(port_);
        QVERIFY(socket.connect());
        QVERIFY(arrivals.wait(kPatienceMs));
        QVERIFY(socket.isConnected());
        QCOMPARE(socket.getData(), std::string("Conex\xE3o_OK"));
        // Only the exact Windows-1252 bytes, with nothing appended, name the company.
        socket.sendData(("PEL_" + kIdentification).toStdString());
        QVERIFY(arrivals.wait(kPatienceMs));
        QCOMPARE(socket.getData(), kRecord.toStdString());
        // The server hangs up after its reply: no event for that.
        QTRY_VERIFY_WITH_TIMEOUT(!socket.isConnected(), kPatienceMs);

        // A refused connect has started all the same: it ends in the time-out.
        socket.setRemotePort(0);  // nobody can listen there
        QVERIFY(socket.connect());
        // Closed while connecting: the greeting never arrives.
        socket.setRemotePort(port_);
        QVERIFY(socket.connect());
        socket.close();
        QTest::qWait(static_cast<int>(kSettle.count()));
        QCOMPARE(arrivals.count(), 2);
    }

    void timerRepeatsRestartsAndStops() {
        EventTimer timer;
        QSignalSpy expiries(&timer, &EventTimer::timeout);
        timer.start(std::chrono::hours(1));
        timer.start(kTick);  // a running timer starts over with the new interval
        QTRY_VERIFY_WITH_TIMEOUT(expiries.count() >= 2, kPatienceMs);
        timer.stop();
        const auto count = expiries.count();
        QTest::qWait(static_cast<int>(10 * kTick.count()));
        QCOMPARE(expiries.count(), count);
    }

    void remoteDesktopFindsFreeRdpAndAsksFirst() {
        using corvalis::ports::StartResult;
        Window w;
        RemoteDesktopStarter starter(&w.window);
        QCOMPARE(starter.startRemoteDesktop({}), StartResult::NotStarted);  // none on PATH
        installFreeRdp(QStringLiteral("xfreerdp"));
        QCOMPARE(starter.startRemoteDesktop({}), StartResult::Started);
        QCOMPARE(freeRdpRecord().mid(0, 2), (QStringList{"program=xfreerdp", "/cert-tofu"}));
        installFreeRdp(QStringLiteral("xfreerdp3"));  // FreeRDP 3 first, with its own option
        QCOMPARE(starter.startRemoteDesktop({}), StartResult::Started);
        QCOMPARE(freeRdpRecord().mid(0, 2), (QStringList{"program=xfreerdp3", "/cert:tofu"}));
        w.cancelCredentials = true;  // starts nothing
        QCOMPARE(starter.startRemoteDesktop({}), StartResult::Cancelled);
    }

    void windowIsDrawnFromTheControlTable() {
        Window w;
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Corvalis 01.07"));
        const QSize client(app::twipsToPixels(app::kClientWidth),
                           app::twipsToPixels(app::kClientHeight));
        QCOMPARE(w.window.minimumSize(), client);
        QCOMPARE(w.window.maximumSize(), client);
        const QPoint offCentre =
            w.window.geometry().center() - w.window.screen()->availableGeometry().center();
        QVERIFY(offCentre.manhattanLength() <= 1);

        for (const app::ControlDefinition& definition : app::kControls) {
            QWidget* widget = w.control(definition.id);
            QVERIFY2(widget != nullptr, definition.name.data());
            QCOMPARE(widget->geometry(), pixels(definition));
            QCOMPARE(widget->isVisibleTo(&w.window), definition.visible);
            QCOMPARE(widget->accessibleName(), QString::fromUtf8(definition.accessibleName));
            QCOMPARE(widget->property("text").toString(), QString::fromUtf8(definition.text));
            const QFontInfo font(widget->font());
            QCOMPARE(font.family(), QString::fromUtf8(app::kFont.family));
            QCOMPARE(font.bold(), app::kFont.bold);
            QCOMPARE(font.pixelSize(), 11);  // 8.25 pt at 96 dpi
            if (definition.kind == app::ControlKind::Picture) {
                QVERIFY2(!qobject_cast<QLabel*>(widget)->pixmap().isNull(), definition.name.data());
            }
            if (definition.kind != app::ControlKind::TextBox) {  // nothing cut off
                QVERIFY2(widget->sizeHint().width() <= widget->width(), definition.name.data());
            }
        }
        const QColor red = lightSpot(w.window);
        QVERIFY2(red.red() > 150 && red.green() < 100, qPrintable(red.name()));

        // Tab walks the focus order round, from where the window opens.
        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        const std::vector<ControlId> order = app::focusOrder();
        QCOMPARE(QApplication::focusWidget(), w.control(order.front()));
        for (std::size_t i = 1; i <= order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), w.control(order[i % order.size()]));
        }
    }

    void enterInTheBoxLeadsToConectar() {
        Window w;
        auto* box = w.control<QLineEdit>(ControlId::IdentInst);
        box->setText(QStringLiteral("acme"));
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            box->setFocus();
            QTest::keyClick(box, key);
            QCOMPARE(w.window.focusWidget(), w.control(ControlId::Conectar));
        }
        QCOMPARE(w.status(), QString::fromUtf8(app::kInitialStatus));
        // A second Enter presses Conectar.
        QTest::keyClick(w.window.focusWidget(), Qt::Key_Return);
        QVERIFY(w.status() != QString::fromUtf8(app::kInitialStatus));
    }

    void messageBoxFollowsTheConvention() {
        Window w;
        w.click(ControlId::Conectar);  // with the box empty
        QCOMPARE(w.messages.size(), 1);
    }

    void connectThenLaunchBoth() {
        installFreeRdp(QStringLiteral("xfreerdp3"));
        Window w({"127.0.0.1", port_});
        w.connectAs(QStringLiteral(" Associação "));
        QTRY_COMPARE_WITH_TIMEOUT(w.status(), QStringLiteral("Conexão Ativada."), kPatienceMs);
        QVERIFY(w.control(ControlId::sinalVermelho)->isHidden());
        const QColor green = lightSpot(w.window);
        QVERIFY2(green.green() > 100 && green.red() < 100, qPrintable(green.name()));

        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "recordUrl");
        w.click(ControlId::Lumo);
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(urls_, QStringList{"http://10.0.0.7:8080/lumo"});
        w.click(ControlId::Sistema);
        // The password on standard input alone, never on the command line.
        QCOMPARE(freeRdpRecord(),
                 (QStringList{"program=xfreerdp3", QDir(w.folder.path()).filePath("Tol-Cloud.rdp"),
                              "/v:10.0.0.7:3390", "/cert:tofu", "/u:" + kUser, "/d:" + kDomain,
                              "/from-stdin:force", "stdin=" + kPassword, ""}));
        QCOMPARE(w.messages, QStringList());
    }

    // Pressing "Tolvar Sistemas" opens a session on xrdp: its certificate is trusted on first use,
    // then refused once it has changed.
    void realFreeRdpReachesXrdp() {
        QTemporaryDir rdp;  // xrdp's configuration, certificate and log; FreeRDP's known servers
        const QDir dir(rdp.path());
        qputenv("PATH", path_);  // the real FreeRDP, Xvfb and xrdp
        Service xvfb;
        xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1280x800x24"});
        QVERIFY2(xvfb.waitForReadyRead(kPatienceMs), "no Xvfb");
        qputenv("DISPLAY", ":" + xvfb.readAllStandardOutput().trimmed());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        QFile ini(dir.filePath(QStringLiteral("xrdp.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QString::fromLatin1(kXrdpIni).arg(rdpPort_).arg(dir.path()).toUtf8());
        ini.close();
        Service xrdp;
        QVERIFY(startXrdp(xrdp, dir));

        Window w({"127.0.0.1", port_});
        QVERIFY(QFile::copy(QStringLiteral(CORVALIS_CONNECTION_FILE),
                            QDir(w.folder.path()).filePath(QStringLiteral("Tol-Cloud.rdp"))));
        w.connectAs(QStringLiteral("tolvar"));
        QTRY_COMPARE_WITH_TIMEOUT(w.status(), QStringLiteral("Conexão Ativada."), kPatienceMs);
        w.click(ControlId::Sistema);
        QTRY_COMPARE_WITH_TIMEOUT(freeRdpWindows().size(), 1, kPatienceMs);
        const auto known = [&] {
            return run("find", {dir.path(), "-name", "known*", "-exec", "cat", "{}", "+"});
        };
        const QByteArray remembered = known();
        QVERIFY(remembered.contains(QByteArray::number(rdpPort_)));
        w.click(ControlId::Sistema);  // the same certificate again: no question, a second window
        QTRY_COMPARE_WITH_TIMEOUT(freeRdpWindows().size(), 2, kPatienceMs);
        QCOMPARE(known(), remembered);
        // Both sessions settled: xrdp took the user name and showed why it cannot go further.
        QTRY_COMPARE_WITH_TIMEOUT(xrdpLog(dir).count("log_msg: Error connecting to user session"),
                                  2, kPatienceMs);
        QVERIFY(xrdpLog(dir).contains("Client supplied username: " + kUser.toUtf8()));
        // Every command line and environment, FreeRDP's among them, and every file here.
        const QByteArray processes = run("ps", {"axeww"});
        QVERIFY(processes.contains("/from-stdin:force"));
        QVERIFY(!processes.contains(kPassword.toUtf8()));
        QCOMPARE(QProcess::execute("grep", {"-rqF", kPassword, dir.path()}), 1);

        // The session windows are closed: the sessions end without a word. xrdp comes back with a
        // new certificate: the next start is refused with one.
        for (const QByteArray& window : freeRdpWindows()) {
            QProcess::execute(QStringLiteral("xkill"), {"-id", QString::fromLatin1(window)});
        }
        QTRY_VERIFY_WITH_TIMEOUT(freeRdpWindows().isEmpty(), kPatienceMs);
        xrdp.terminate();
        QVERIFY(xrdp.waitForFinished(kPatienceMs));
        QVERIFY(startXrdp(xrdp, dir));
        w.click(ControlId::Sistema);
        QTRY_COMPARE_WITH_TIMEOUT(
            w.messages, QStringList{toQString(corvalis::launch::kCertificateChangedMessage)},
            kPatienceMs);
        QVERIFY(freeRdpWindows().isEmpty());
    }

    void markupInTheIdentificationShowsLiterally() {
        Window w({"127.0.0.1", port_});
        w.connectAs(QStringLiteral("<b>x</b>"));
        auto* aviso = w.control<QLabel>(ControlId::Aviso);
        QTRY_VERIFY_WITH_TIMEOUT(aviso->text().contains(QStringLiteral("'<b>x</b>'")), kPatienceMs);
        // Read as rich text, the refusal would be laid out far narrower than its characters.
        QCOMPARE(aviso->sizeHint().width(), aviso->fontMetrics().horizontalAdvance(aviso->text()));
    }

    // Last: closing the window ends the application's event loop.
    void sairClosesTheWindow() {
        Window w;
        w.click(ControlId::cbutton3);
        QVERIFY(!w.window.isVisible());
    }

private:
    // Ended when the test ends, as a service is: asked to stop, and waited for.
    struct Service : QProcess {
        ~Service() override {
            terminate();
            waitForFinished(kPatienceMs);
        }
    };

    // Starts xrdp with a certificate of its own, new each time; true once it listens.
    bool startXrdp(QProcess& xrdp, const QDir& dir) {
        const QStringList certificate =
            QStringLiteral(
                "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "
                "/CN=xrdp -keyout %1/key.pem -out %1/cert.pem")
                .arg(dir.path())
                .split(u' ');
        if (QProcess::execute(QStringLiteral("openssl"), certificate) != 0) {
            return false;
        }
        const qsizetype started = xrdpLog(dir).count("listening to port");
        xrdp.start(QStringLiteral("xrdp"), {"--nodaemon", "--config", dir.filePath("xrdp.ini")});
        return QTest::qWaitFor([&] { return xrdpLog(dir).count("listening to port") > started; },
                               kPatienceMs);
    }

    // What the program prints, once it has ended.
    static QByteArray run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(kPatienceMs);
        return process.readAllStandardOutput();
    }

    // FreeRDP's session windows on the display, each titled with the server: their ids.
    QByteArrayList freeRdpWindows() const {
        const QByteArray title = "\"FreeRDP: 127.0.0.1:" + QByteArray::number(rdpPort_) + '"';
        QByteArrayList windows;
        for (const QByteArray& line : run("xwininfo", {"-root", "-tree"}).split('\n')) {
            if (line.contains(title)) {
                windows << line.trimmed().split(' ').value(0);
            }
        }
        return windows;
    }

    static QByteArray xrdpLog(const QDir& dir) { return run("cat", {dir.filePath("xrdp.log")}); }

    void installFreeRdp(const QString& name) {
        QFile::remove(bin_.filePath(name));
        QVERIFY(QFile::link(QStringLiteral(CORVALIS_RECORDING_RDP_CLIENT), bin_.filePath(name)));
    }

    // The name the stand-in was started as, its arguments and its standard input, a line each;
    // taken away once read, ready for the next start.
    QStringList freeRdpRecord() {
        QFile record(bin_.filePath(QStringLiteral("record")));
        if (!QTest::qWaitFor([&record] { return record.exists(); }, kPatienceMs) ||
            !record.open(QIODevice::ReadOnly)) {
            return {};
        }
        const QStringList lines = QString::fromUtf8(record.readAll()).split(u'\n');
        record.remove();
        return lines;
    }

    QTemporaryDir bin_;
    QByteArray path_;
    QProcess server_;
    quint16 port_ = 0;
    quint16 rdpPort_ = 0;
    QStringList urls_;
};

QTEST_MAIN(FrontendTest)
#include "frontend_test.moc"
