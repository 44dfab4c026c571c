// The Qt front end against real things: loopback TCP to the reference control server, Qt's event
// loop, a recording stand-in for FreeRDP on PATH, the desktop's URL handlers, the window drawn
// from the core's control table, the client as installed, and the real FreeRDP against Debian's
// xrdp on an Xvfb display.
#include <unistd.h>

#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>
#include <fstream>
#include <map>

#include "main_window.hpp"
#include "qt_text.hpp"
#include "window_font.hpp"

using namespace corvalis::app;
using namespace corvalis::qt;

// The bound of every wait for something that should happen; only reached when a test fails.
constexpr std::chrono::milliseconds kPatience{10000};
constexpr int kPatienceMs = static_cast<int>(kPatience.count());
// Long enough for a stray event to show itself if one were coming.
constexpr int kSettleMs = 200;
constexpr std::chrono::milliseconds kTick{10};
// Not a multiple of a coarse timer's rounding.
constexpr std::chrono::milliseconds kTimerInterval{173};
// xrdp on a loopback port (%1), with its files in a folder (%2); what a session offers it is
// logged. Its one session type hands over to a VNC server that is not there, which it reports in
// the session window.
constexpr char kXrdpIni[] =
    "[Globals]\nport=tcp://127.0.0.1:%1\nsecurity_layer=tls\nallow_channels=true\n"
    "certificate=%2/cert.pem\nkey_file=%2/key.pem\n"
    "[Logging]\nLogFile=%2/xrdp.log\nLogLevel=DEBUG\nEnableSyslog=false\n"
    "[Sessao]\nlib=libvnc.so\nip=127.0.0.1\nport=1\n";
// What the credentials dialog is given.
const QString kUser = QStringLiteral("ana.souza");
const QString kDomain = QStringLiteral("TOLVAR");
const QString kPassword = QStringLiteral("Senha-7391-secreta");

// What a screen reader hears of an event: a new name, or an announcement (from Qt 6.8).
QString heard(QAccessibleEvent* event) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (const auto* announcement = dynamic_cast<QAccessibleAnnouncementEvent*>(event)) {
        const bool polite =
            announcement->politeness() == QAccessible::AnnouncementPoliteness::Polite;
        return (polite ? "polite " : "assertive ") + announcement->message();
    }
#endif
    if (event->type() != QAccessible::NameChanged) return {};
    return event->accessibleInterface()->text(QAccessible::Name);
}

QImage artworkAsRead(Artwork artwork) {
    const std::map<Artwork, QString> files{{Artwork::Logo, "logo.jpg"},
                                           {Artwork::LightRed, "sinal_vermelho.bmp"},
                                           {Artwork::LightGreen, "sinal_verde.bmp"}};
    return files.contains(artwork) ? QImage(CORVALIS_ASSETS "/" + files.at(artwork))
                                         .convertToFormat(QImage::Format_RGB32)
                                   : QImage();
}

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

        // The one company the server knows, with Windows-1252 in its name and in an item passed on.
        const QString table = bin_.filePath(QStringLiteral("table"));
        QTcpServer free;  // a loopback port for xrdp
        QVERIFY(free.listen(QHostAddress::LocalHost));
        rdpPort_ = free.serverPort();
        std::ofstream(table.toStdString())
            << "associa\xE7\xE3o=10.0.0.7|Associa\xE7\xE3o "
               "Ltda|plano-a|3390|8080|ativo|2024-01-10|-|-\n"
            << "tolvar=127.0.0.1|Tolvar|p|" << rdpPort_ << "|0|a|-|-|-\n";
        server_.setReadChannel(QProcess::StandardError);
        server_.start(CORVALIS_CONTROL_SERVER_PROGRAM, {"--table", table, "--port", "0"});
        // Every message box is checked against the convention, noted and answered; the
        // credentials dialog is filled in, or cancelled.
        QObject::connect(&answer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages_ << box->text();
                box->button(QMessageBox::Ok)->click();  // first, so a failed check leaves no box
                QCOMPARE(std::tuple(box->windowTitle(), box->icon(), box->buttons().size()),
                         std::tuple(QStringLiteral("Pelmark"), QMessageBox::NoIcon, 1));
            } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                const auto fields = dialog->findChildren<QLineEdit*>();  // user, password, domain
                fields.at(0)->setText(kUser);
                QTest::keyClicks(fields.at(1), kPassword);
                fields.at(2)->setText(kDomain);
                cancelCredentials_ ? dialog->reject() : dialog->accept();
            }
        });
        answer_.start(kTick);
        // The server names the port it picked once it listens.
        const QRegularExpression listening(QStringLiteral("listening on [^ ]+:(\\d+)"));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (port_ = listening.match(log += server_.readAll()).captured(1).toUShort()) != 0,
            kPatienceMs);
    }

    // Only the stand-ins again, whatever a test left on PATH.
    void cleanup() { qputenv("PATH", QFile::encodeName(bin_.path())); }

    void cleanupTestCase() {
        server_.terminate();
        server_.waitForFinished(kPatienceMs);
    }

    // The bytes each way are the window's conversation below: the server answers only the exact
    // request, and the logic tells the greeting from a record only by its exact bytes.
    void socketStartsRefusedConnectsAndIsSilentOnceClosed() {
        TcpSocket socket;
        bool arrived = false;
        socket.setCallback([&arrived] { arrived = true; });
        socket.setRemoteHost("127.0.0.1");
        // A refused connect has started all the same: it ends in the time-out.
        socket.setRemotePort(0);  // nobody can listen there
        QVERIFY(socket.connect());
        // Closed while connecting: the greeting never arrives.
        socket.setRemotePort(port_);
        QVERIFY(socket.connect());
        socket.close();
        QVERIFY(!QTest::qWaitFor([&arrived] { return arrived; }, kSettleMs));
    }

    void timerRepeatsRestartsAndStops() {
        EventTimer timer;
        QElapsedTimer clock;
        int expiries = 0;
        bool early = false;
        timer.setCallback(
            [&] { early |= clock.elapsed() < ++expiries * kTimerInterval.count() - 1; });
        timer.start(std::chrono::hours(1));
        // A running timer starts over with the new interval, and repeats it, never early: within
        // the millisecond a precise timer keeps to, where a coarse one may be 8 ms early.
        timer.start(kTimerInterval);
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(expiries, 5, kPatienceMs);
        timer.stop();
        QVERIFY(!QTest::qWaitFor([&expiries] { return expiries > 5; }, kSettleMs));
        QVERIFY(!early);
    }

    void installedClientRunsWithItsFilesBesideIt() {
        // A blank in the path, as in many a program folder.
        QTemporaryDir prefix(QDir::tempPath() + QStringLiteral("/corvalis instalado-XXXXXX"));
        QCOMPARE(QProcess::execute(CORVALIS_CMAKE, {"--install", CORVALIS_BUILD_DIR, "--component",
                                                    "client", "--prefix", prefix.path()}),
                 0);
        // The client keeps running, its identification file beside it, not where it was started.
        QProcess client;
        client.start(prefix.filePath("corvalis"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(prefix.filePath("pelmark.ini")), kPatienceMs);
        QCOMPARE(client.state(), QProcess::Running);
        client.kill();
        client.waitForFinished(kPatienceMs);
    }

    // Each X11 FreeRDP client the launcher knows, where it is installed, alone on PATH. FreeRDP 3's
    // SDL client, still experimental, does not always bring its window up under Xvfb.
    void realFreeRdpReachesXrdp_data() {
        QTest::addColumn<QString>("program");
        for (const char* program : {"xfreerdp3", "xfreerdp"})
            QTest::newRow(program) << QString::fromLatin1(program);
    }

    // Pressing "Tolvar Sistemas" opens a session on xrdp: its certificate is trusted on first use,
    // then refused once it has changed.
    void realFreeRdpReachesXrdp() {
        QFETCH(QString, program);
        // PATH holds that FreeRDP and the tools the test runs, nothing else; /usr/sbin, where
        // Debian puts xrdp, is looked in too, as a user's PATH may lack it.
        const QStringList machine = QString::fromLocal8Bit(path_).split(u':') << "/usr/sbin";
        if (QStandardPaths::findExecutable(program, machine).isEmpty())
            QSKIP(qPrintable(program + " is not installed"));
        QTemporaryDir tools;
        for (const QString& tool : QStringList{program, "Xvfb", "xrdp", "openssl", "cat", "ps",
                                               "grep", "xwininfo", "xkill"})
            QVERIFY(
                QFile::link(QStandardPaths::findExecutable(tool, machine), tools.filePath(tool)));
        qputenv("PATH", QFile::encodeName(tools.path()));
        QTemporaryDir rdp;  // xrdp's configuration, certificate and log; FreeRDP's known servers
        const QDir dir(rdp.path());
        Service xvfb;
        xvfb.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1280x800x24"});
        QVERIFY2(xvfb.waitForReadyRead(kPatienceMs), "no Xvfb");
        qputenv("DISPLAY", ":" + xvfb.readAllStandardOutput().trimmed());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        std::ofstream(dir.filePath(QStringLiteral("xrdp.ini")).toStdString())
            << QString::fromLatin1(kXrdpIni).arg(rdpPort_).arg(dir.path()).toStdString();
        Service xrdp;
        QVERIFY(startXrdp(xrdp, dir));

        QTemporaryDir folder;
        QVERIFY(QFile::copy(CORVALIS_CONNECTION_FILE, folder.filePath("Tol-Cloud.rdp")));
        const std::string path = folder.path().toStdString();
        MainWindow w({path, path}, {"127.0.0.1", port_});
        w.start();
        const auto click = [&w](ControlId id) {
            QTest::mouseClick(w.findChild<QWidget*>(QString::fromUtf8(control(id).name)),
                              Qt::LeftButton);
        };
        w.findChild<QLineEdit*>(QStringLiteral("IdentInst"))->setText(QStringLiteral("tolvar"));
        click(ControlId::Conectar);
        QTRY_COMPARE_WITH_TIMEOUT(w.findChild<QLabel*>(QStringLiteral("Aviso"))->text(),
                                  QStringLiteral("Conexão Ativada."), kPatienceMs);
        messages_.clear();
        click(ControlId::Sistema);
        QTRY_COMPARE_WITH_TIMEOUT(freeRdpWindows().size(), 1, kPatienceMs);
        // FreeRDP 2 notes a trusted server in known_hosts2, FreeRDP 3 in server/<host>_<port>.pem:
        // each file's name and lines.
        const QStringList knownServers{"-r", "", dir.filePath("freerdp")};
        const QByteArray remembered = run("grep", knownServers);
        QVERIFY(remembered.contains(QByteArray::number(rdpPort_)));
        click(ControlId::Sistema);  // the same certificate again: no question, a second window
        QTRY_COMPARE_WITH_TIMEOUT(freeRdpWindows().size(), 2, kPatienceMs);
        QCOMPARE(run("grep", knownServers), remembered);
        // Both sessions settled: xrdp took the user name and showed why it cannot go further.
        QTRY_COMPARE_WITH_TIMEOUT(xrdpLog(dir).count("log_msg: Error connecting to user session"),
                                  2, kPatienceMs);
        QVERIFY(xrdpLog(dir).contains("Client supplied username: " + kUser.toUtf8()));
        // Every command line and environment, FreeRDP's among them, and every file here.
        const QByteArray processes = run("ps", {"axeww"});
        QVERIFY(processes.contains("/from-stdin:force") && !processes.contains(kPassword.toUtf8()));
        QCOMPARE(QProcess::execute("grep", {"-rqF", kPassword, dir.path()}), 1);

        // The session windows are closed: the sessions end without a word. xrdp comes back with a
        // new certificate: the next start is refused with one.
        for (const QByteArray& window : freeRdpWindows())
            QProcess::execute(QStringLiteral("xkill"), {"-id", QString::fromLatin1(window)});
        QTRY_VERIFY_WITH_TIMEOUT(freeRdpWindows().isEmpty(), kPatienceMs);
        xrdp.terminate();
        QVERIFY(xrdp.waitForFinished(kPatienceMs) && startXrdp(xrdp, dir));
        click(ControlId::Sistema);
        QTRY_COMPARE_WITH_TIMEOUT(
            messages_, QStringList{toQString(corvalis::launch::kCertificateChangedMessage)},
            kPatienceMs);
        // Nothing listens any more: the server cannot be reached.
        xrdp.terminate();
        QVERIFY(xrdp.waitForFinished(kPatienceMs));
        click(ControlId::Sistema);
        QTRY_COMPARE_WITH_TIMEOUT(messages_.value(1),
                                  toQString(corvalis::launch::kServerUnreachableMessage),
                                  kPatienceMs);
    }

    // Last, as closing the window ends the application's event loop. The window opens as main()
    // opens it, its application folder with a blank and an accent; every message box it shows is
    // checked against the convention, noted and answered.
    void windowFromTheTableThroughAConnection() {
        QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/corvalis pasta ç-XXXXXX"));
        const std::string path = folder.path().toStdString();
        MainWindow window({path, path}, {"127.0.0.1", port_});
        const auto find = [&window](ControlId id) {
            return window.findChild<QWidget*>(QString::fromUtf8(control(id).name));
        };
        // The status as a screen reader hears it.
        auto* aviso = QAccessible::queryAccessibleInterface(find(ControlId::Aviso));
        const auto status = [aviso] { return aviso->text(QAccessible::Name); };
        messages_.clear();
        window.start();

        QCOMPARE(window.windowTitle(), QStringLiteral("Corvalis 01.07"));
        const QSize client(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
        QCOMPARE(std::tuple(window.minimumSize(), window.maximumSize()),
                 std::tuple(client, client));
        for (const ControlDefinition& definition : kControls) {
            QWidget* widget = find(definition.id);
            QCOMPARE(widget->geometry(),
                     QRect(twipsToPixels(definition.left), twipsToPixels(definition.top),
                           twipsToPixels(definition.width), twipsToPixels(definition.height)));
            QCOMPARE(widget->isVisibleTo(&window), definition.visible);
            QCOMPARE(widget->accessibleName(), QString::fromUtf8(definition.accessibleName));
            QCOMPARE(widget->property("text").toString(), QString::fromUtf8(definition.text));
            const QFontInfo font(widget->font());  // 8.25 pt is 11 pixels at 96 dpi
            QCOMPARE(std::tuple(font.family(), font.bold(), font.pixelSize()),
                     std::tuple(QString::fromUtf8(kFont.family), kFont.bold, 11));
            // Each picture pixel for pixel as Qt reads its artwork file, the logo's JPEG included.
            QCOMPARE(widget->property("pixmap").value<QPixmap>().toImage().convertToFormat(
                         QImage::Format_RGB32),
                     artworkAsRead(definition.artwork));
        }
        // Tab walks the focus order round, from where the window opens.
        const std::vector<ControlId> order = focusOrder();
        for (std::size_t i = 0; i <= order.size(); ++i) {
            QCOMPARE(window.focusWidget(), find(order[i % order.size()]));
            QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
        }

        // Enter in the box leads to Conectar; only a second Enter presses it, which with the box
        // empty brings a message.
        auto* box = qobject_cast<QLineEdit*>(find(ControlId::IdentInst));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(window.focusWidget(), find(ControlId::Conectar));
        QTest::keyClick(window.focusWidget(), Qt::Key_Return);
        QCOMPARE(messages_.size(), 1);
        // Refused, the identification shows as typed, never read as markup.
        box->setText(QStringLiteral("<b>x</b>"));
        QTest::mouseClick(find(ControlId::Conectar), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(status().contains("'<b>x</b>'"), kPatienceMs);

        // Accepted, each status told to a screen reader, as one listens now: the label's new
        // name, and a polite announcement of it where Qt has them.
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        static QObject* avisoLabel = find(ControlId::Aviso);
        static QStringList told;
        const auto handler = QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            if (event->object() == avisoLabel && !heard(event).isEmpty()) told << heard(event);
        });
        QStringList statuses;
        for (const QString text :
             {"Estabelecendo conexão.", "Iniciando a conexão.", "Conexão Ativada."})
            statuses << text << (QT_VERSION >= QT_VERSION_CHECK(6, 8, 0) ? "polite " + text : "");
        statuses.removeAll({});
        box->setText(QStringLiteral(" Associação "));
        QTest::mouseClick(find(ControlId::Conectar), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(told, statuses, kPatienceMs);
        QAccessible::installUpdateHandler(handler);
        // The green light in the red one's place.
        const QColor green =
            window.grab().toImage().pixelColor(find(ControlId::sinalVermelho)->geometry().center());
        QVERIFY2(green.green() > 100 && green.red() < 100, qPrintable(green.name()));
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "recordUrl");
        QTest::mouseClick(find(ControlId::Lumo), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(urls_, QStringList{"http://10.0.0.7:8080/lumo"});
        QTest::mouseClick(find(ControlId::Sistema), Qt::LeftButton);  // no FreeRDP on PATH yet
        // FreeRDP 3's X11 client first, with its own option (the others meet xrdp above); Cancel in
        // the credentials dialog starts nothing and says nothing.
        installFreeRdp(QStringLiteral("sdl-freerdp3"));
        installFreeRdp(QStringLiteral("xfreerdp"));
        installFreeRdp(QStringLiteral("xfreerdp3"));
        cancelCredentials_ = true;
        QTest::mouseClick(find(ControlId::Sistema), Qt::LeftButton);
        cancelCredentials_ = false;
        QTest::mouseClick(find(ControlId::Sistema), Qt::LeftButton);
        // The password on standard input alone, never on the command line.
        QCOMPARE(freeRdpRecord(),
                 (QStringList{"program=xfreerdp3", folder.filePath("Tol-Cloud.rdp"),
                              "/v:10.0.0.7:3390", "/cert:tofu,deny", "/u:" + kUser, "/d:" + kDomain,
                              "/from-stdin:force", "stdin=" + kPassword, ""}));
        QCOMPARE(messages_.mid(1),
                 QStringList{toQString(corvalis::launch::kRemoteDesktopFailedMessage)});
        QTest::mouseClick(find(ControlId::cbutton3), Qt::LeftButton);  // Sair
        QVERIFY(!window.isVisible());
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
        if (QProcess::execute(QStringLiteral("openssl"), certificate) != 0) return false;
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
        for (const QByteArray& line : run("xwininfo", {"-root", "-tree"}).split('\n'))
            if (line.contains(title)) windows << line.trimmed().split(' ').value(0);
        return windows;
    }

    static QByteArray xrdpLog(const QDir& dir) { return run("cat", {dir.filePath("xrdp.log")}); }

    void installFreeRdp(const QString& name) {
        QFile::remove(bin_.filePath(name));
        QVERIFY(QFile::link(QStringLiteral(CORVALIS_RECORDING_RDP_CLIENT), bin_.filePath(name)));
    }

    // The name the stand-in was started as, its arguments and its standard input, a line each;
    // taken away once read, ready for the next start. Empty when none was written.
    QStringList freeRdpRecord() {
        QFile record(bin_.filePath(QStringLiteral("record")));
        static_cast<void>(QTest::qWaitFor([&record] { return record.exists(); }, kPatienceMs));
        static_cast<void>(record.open(QIODevice::ReadOnly));
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
    QTimer answer_;
    QStringList messages_;
    bool cancelCredentials_ = false;
};

QTEST_MAIN(FrontendTest)
#include "frontend_test.moc"
