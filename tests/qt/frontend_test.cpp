// The Qt front end against real things: loopback TCP to the reference control server, Qt's event
// loop, a recording stand-in for FreeRDP on PATH, the desktop's URL handlers, the window drawn
// from the core's control table, and the client as installed.
#include <unistd.h>

#include <QtTest>
#include <QtWidgets>
#include <fstream>

#include "main_window.hpp"
#include "window_font.hpp"

using namespace corvalis::app;
using namespace corvalis::qt;

// The bound of every wait for something that should happen; only reached when a test fails.
constexpr std::chrono::milliseconds kPatience{10000};
constexpr int kPatienceMs = static_cast<int>(kPatience.count());
// Long enough for a stray event to show itself if one were coming.
constexpr std::chrono::milliseconds kSettle{200};
constexpr std::chrono::milliseconds kTick{10};

class FrontendTest : public QObject {
    Q_OBJECT

public slots:
    // Takes the browser's place for http URLs.
    void recordUrl(const QUrl& url) { urls_ << url.toString(QUrl::FullyEncoded); }

private slots:
    void initTestCase() {
        loadTahoma();
        // Standard input becomes a pipe, like a terminal nobody watches: the remote-desktop client
        // must get /dev/null instead.
        int ends[2];
        QCOMPARE(pipe(ends), 0);
        QCOMPARE(dup2(ends[0], STDIN_FILENO), STDIN_FILENO);
        // Only the stand-ins are on PATH, so a FreeRDP installed on the machine is never started.
        qputenv("PATH", QFile::encodeName(bin_.path()));
        qputenv("CORVALIS_RDP_RECORD", QFile::encodeName(bin_.filePath(QStringLiteral("record"))));

        // The one company the server knows, with Windows-1252 in its name and in an item passed on.
        const QString table = bin_.filePath(QStringLiteral("table"));
        std::ofstream(table.toStdString()) << "associa\xE7\xE3o=10.0.0.7|Associa\xE7\xE3o "
                                              "Ltda|plano-a|3390|8080|ativo|2024-01-10|-|-\n";
        server_.setReadChannel(QProcess::StandardError);
        server_.start(CORVALIS_CONTROL_SERVER_PROGRAM, {"--table", table, "--port", "0"});
        // The server names the port it picked once it listens.
        const QRegularExpression listening(QStringLiteral("listening on [^ ]+:(\\d+)"));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (port_ = listening.match(log += server_.readAll()).captured(1).toUShort()) != 0,
            kPatienceMs);
    }

    void cleanupTestCase() {
        server_.terminate();
        server_.waitForFinished(kPatienceMs);
    }

    // The bytes each way are the window's conversation below: the server answers only the exact
    // request, and the logic tells the greeting from a record only by its exact bytes.
    void socketStartsRefusedConnectsAndIsSilentOnceClosed() {
        TcpSocket socket;
        QSignalSpy arrivals(&socket, &TcpSocket::dataArrival);
        socket.setRemoteHost("127.0.0.1");
        // A refused connect has started all the same: it ends in the time-out.
        socket.setRemotePort(0);  // nobody can listen there
        QVERIFY(socket.connect());
        // Closed while connecting: the greeting never arrives.
        socket.setRemotePort(port_);
        QVERIFY(socket.connect());
        socket.close();
        QVERIFY(!arrivals.wait(static_cast<int>(kSettle.count())));
    }

    void timerRepeatsRestartsAndStops() {
        EventTimer timer;
        QSignalSpy expiries(&timer, &EventTimer::timeout);
        timer.start(std::chrono::hours(1));
        timer.start(kTick);  // a running timer starts over with the new interval
        QTRY_VERIFY_WITH_TIMEOUT(expiries.count() >= 2, kPatienceMs);
        timer.stop();
        QVERIFY(!expiries.wait(static_cast<int>(kSettle.count())));
    }

    void remoteDesktopFindsFreeRdp() {
        RemoteDesktopStarter starter;
        QVERIFY(!starter.startRemoteDesktop({}));  // none on PATH
        installFreeRdp(QStringLiteral("xfreerdp"));
        QVERIFY(starter.startRemoteDesktop({}));
        QCOMPARE(freeRdpRecord().value(0), QStringLiteral("program=xfreerdp"));
        installFreeRdp(QStringLiteral("xfreerdp3"));
        QVERIFY(starter.startRemoteDesktop({}));
        QCOMPARE(freeRdpRecord().value(0), QStringLiteral("program=xfreerdp3"));  // FreeRDP 3 first
    }

    void installedClientRunsWithItsFilesBesideIt() {
        // A blank in the path, as in many a program folder.
        QTemporaryDir prefix(QDir::tempPath() + QStringLiteral("/corvalis instalado-XXXXXX"));
        QCOMPARE(QProcess::execute(CORVALIS_CMAKE, {"--install", CORVALIS_BUILD_DIR, "--component",
                                                    "client", "--prefix", prefix.path()}),
                 0);
        QCOMPARE(QDir(prefix.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{"Tol-Cloud.rdp", "corvalis", "corvalis.desktop", "corvalis.png"}));
        QFile entry(prefix.filePath("corvalis.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly) &&
                entry.readAll().contains("\nExec=\"" + QFile::encodeName(prefix.path()) +
                                         "/corvalis\"\n"));
        // The client keeps running, its identification file beside it, not where it was started.
        QProcess client;
        client.start(prefix.filePath("corvalis"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(prefix.filePath("pelmark.ini")), kPatienceMs);
        QCOMPARE(client.state(), QProcess::Running);
        client.kill();
        client.waitForFinished(kPatienceMs);
    }

    // Last, as closing the window ends the application's event loop. The window opens as main()
    // opens it, its application folder with a blank and an accent; every message box it shows is
    // checked against the convention, noted and answered.
    void windowFromTheTableThroughAConnection() {
        installFreeRdp(QStringLiteral("xfreerdp3"));
        QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/corvalis pasta ç-XXXXXX"));
        const std::string path = folder.path().toStdString();
        MainWindow window({path, path}, {"127.0.0.1", port_});
        const auto find = [&window](ControlId id) {
            return window.findChild<QWidget*>(QString::fromUtf8(control(id).name));
        };
        // The status as a screen reader hears it.
        auto* aviso = QAccessible::queryAccessibleInterface(find(ControlId::Aviso));
        const auto status = [aviso] { return aviso->text(QAccessible::Name); };
        int messages = 0;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&messages] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++messages;
                box->button(QMessageBox::Ok)->click();  // first, so a failed check leaves no box
                QCOMPARE(box->windowTitle(), QStringLiteral("Pelmark"));
                QCOMPARE(box->icon(), QMessageBox::NoIcon);
                QCOMPARE(box->buttons().size(), 1);
            }
        });
        answer.start(kTick);
        window.start();

        QCOMPARE(window.windowTitle(), QStringLiteral("Corvalis 01.07"));
        const QSize client(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
        QCOMPARE(window.minimumSize(), client);
        QCOMPARE(window.maximumSize(), client);
        for (const ControlDefinition& definition : kControls) {
            QWidget* widget = find(definition.id);
            QCOMPARE(widget->geometry(),
                     QRect(twipsToPixels(definition.left), twipsToPixels(definition.top),
                           twipsToPixels(definition.width), twipsToPixels(definition.height)));
            QCOMPARE(widget->isVisibleTo(&window), definition.visible);
            QCOMPARE(widget->accessibleName(), QString::fromUtf8(definition.accessibleName));
            QCOMPARE(widget->property("text").toString(), QString::fromUtf8(definition.text));
            QCOMPARE(QFontInfo(widget->font()).family(), QString::fromUtf8(kFont.family));
            QCOMPARE(QFontInfo(widget->font()).bold(), kFont.bold);
            QCOMPARE(QFontInfo(widget->font()).pixelSize(), 11);  // 8.25 pt at 96 dpi
            QCOMPARE(widget->property("pixmap").value<QPixmap>().isNull(),
                     definition.artwork == Artwork::None);
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
        QCOMPARE(messages, 1);
        // Refused, the identification shows as typed, never read as markup.
        box->setText(QStringLiteral("<b>x</b>"));
        QTest::mouseClick(find(ControlId::Conectar), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(status().contains("'<b>x</b>'"), kPatienceMs);

        box->setText(QStringLiteral(" Associação "));
        QTest::mouseClick(find(ControlId::Conectar), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Conexão Ativada."), kPatienceMs);
        // The green light in the red one's place.
        const QColor green =
            window.grab().toImage().pixelColor(find(ControlId::sinalVermelho)->geometry().center());
        QVERIFY2(green.green() > 100 && green.red() < 100, qPrintable(green.name()));
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "recordUrl");
        QTest::mouseClick(find(ControlId::Lumo), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(urls_, QStringList{"http://10.0.0.7:8080/lumo"});
        QTest::mouseClick(find(ControlId::Sistema), Qt::LeftButton);
        QCOMPARE(freeRdpRecord(),
                 (QStringList{"program=xfreerdp3", folder.filePath("Tol-Cloud.rdp"),
                              "/v:10.0.0.7:3390", "stdin=/dev/null", ""}));
        QTest::mouseClick(find(ControlId::cbutton3), Qt::LeftButton);  // Sair
        QVERIFY(!window.isVisible());
    }

private:
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
    QProcess server_;
    quint16 port_ = 0;
    QStringList urls_;
};

QTEST_MAIN(FrontendTest)
#include "frontend_test.moc"
