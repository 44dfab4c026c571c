// Sistema and Lumo: a recording stand-in for FreeRDP on PATH and a recording URL handler.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "url_recorder.hpp"
#include "window_fixture.hpp"
#include "window_font.hpp"

using corvalis::qt::testing::kPatienceMs;
using corvalis::qt::testing::kSettle;
using corvalis::qt::testing::readFile;
using corvalis::qt::testing::UrlRecorder;
using corvalis::qt::testing::wait;
using corvalis::qt::testing::WindowFixture;

namespace {

const QString kConnectFirst =
    QStringLiteral("É necessário conectar para atualizar os dados antes de acessar os servidores.");
const QString kNoRemoteDesktop =
    QStringLiteral("Não foi possível iniciar o cliente de área de trabalho remota.");

}  // namespace

class LaunchersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        corvalis::qt::loadTahoma();
        originalPath_ = qgetenv("PATH");
        // Our own standard input becomes a pipe nobody writes to, like a terminal nobody watches:
        // the remote-desktop client must get /dev/null instead, whatever ctest gave us.
        int ends[2];
        QCOMPARE(pipe(ends), 0);
        QCOMPARE(dup2(ends[0], STDIN_FILENO), STDIN_FILENO);
        close(ends[0]);
        writeEnd_ = ends[1];
    }

    void cleanupTestCase() { close(writeEnd_); }

    void init() {
        // Only the stand-ins are on PATH, so a FreeRDP installed on the machine is never started.
        bin_ = std::make_unique<QTemporaryDir>();
        qputenv("PATH", QFile::encodeName(bin_->path()));
        qputenv("CORVALIS_RDP_RECORD", QFile::encodeName(recordPath()));
    }

    void cleanup() { qputenv("PATH", originalPath_); }

    void remoteDesktopStartsFreeRdpDetached_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("started");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("target");
        const QByteArray record("10.0.0.7|a|b|3390|8080|c|d|e|f");
        QTest::newRow("FreeRDP 3")
            << QStringList{"xfreerdp3"} << "xfreerdp3" << record << "/v:10.0.0.7:3390";
        QTest::newRow("FreeRDP 2")
            << QStringList{"xfreerdp"} << "xfreerdp" << record << "/v:10.0.0.7:3390";
        QTest::newRow("both: FreeRDP 3 first")
            << QStringList{"xfreerdp", "xfreerdp3"} << "xfreerdp3" << record << "/v:10.0.0.7:3390";
        QTest::newRow("short record: empty port")
            << QStringList{"xfreerdp3"} << "xfreerdp3" << QByteArray("server.example")
            << "/v:server.example:";
    }

    void remoteDesktopStartsFreeRdpDetached() {
        QFETCH(QStringList, installed);
        QFETCH(QString, started);
        QFETCH(QByteArray, reply);
        QFETCH(QString, target);
        for (const QString& name : installed) {
            QVERIFY(
                QFile::link(QStringLiteral(CORVALIS_RECORDING_RDP_CLIENT), bin_->filePath(name)));
        }
        WindowFixture fixture;
        fixture.server.setReply(reply);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_VERIFY_WITH_TIMEOUT(fixture.greenLight()->isVisible(), kPatienceMs);

        QTest::mouseClick(fixture.button("Sistema"), Qt::LeftButton);

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(recordPath()), kPatienceMs);
        const QString connectionFile = fixture.folderPath() + QStringLiteral("/Tol-Cloud.rdp");
        const QStringList expected{"program=" + started, connectionFile, target,
                                   QStringLiteral("stdin=/dev/null")};
        QCOMPARE(QString::fromUtf8(readFile(recordPath())).split('\n', Qt::SkipEmptyParts),
                 expected);
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }

    void noRemoteDesktopClientIsReported() {
        WindowFixture fixture;
        fixture.server.setReply("10.0.0.7|a|b|3390|8080|c|d|e|f");
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_VERIFY_WITH_TIMEOUT(fixture.greenLight()->isVisible(), kPatienceMs);

        QTest::mouseClick(fixture.button("Sistema"), Qt::LeftButton);
        QCOMPARE(fixture.messageBoxes.texts(), QStringList{kNoRemoteDesktop});
        QCOMPARE(fixture.messageBoxes.messages().front().title, QStringLiteral("Pelmark"));
    }

    void webAccessOpensTheCompanysUrl() {
        UrlRecorder browser;
        WindowFixture fixture;
        fixture.server.setReply("10.0.0.7|a|b|3390|8080|c|d|e|f");
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_VERIFY_WITH_TIMEOUT(fixture.greenLight()->isVisible(), kPatienceMs);

        QTest::mouseClick(fixture.button("Lumo"), Qt::LeftButton);
        QCOMPARE(browser.urls(), QStringList{QStringLiteral("http://10.0.0.7:8080/lumo")});
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }

    void notConnectedInThisRunStartsNothing() {
        QVERIFY(QFile::link(QStringLiteral(CORVALIS_RECORDING_RDP_CLIENT),
                            bin_->filePath(QStringLiteral("xfreerdp3"))));
        UrlRecorder browser;
        WindowFixture fixture;
        fixture.server.setReply("n\xE3o consta " + corvalis::qt::testing::kRefusalEnding);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_VERIFY_WITH_TIMEOUT(fixture.server.connectionCount() == 1 && !fixture.server.isOpen(0),
                                 kPatienceMs);

        QTest::mouseClick(fixture.button("Sistema"), Qt::LeftButton);
        QTest::mouseClick(fixture.button("Lumo"), Qt::LeftButton);
        QCOMPARE(fixture.messageBoxes.texts(), (QStringList{kConnectFirst, kConnectFirst}));
        QVERIFY(browser.urls().isEmpty());
        wait(kSettle);
        QVERIFY(!QFile::exists(recordPath()));
    }

private:
    [[nodiscard]] QString recordPath() const {
        return bin_->filePath(QStringLiteral("record.txt"));
    }

    QByteArray originalPath_;
    int writeEnd_ = -1;
    std::unique_ptr<QTemporaryDir> bin_;
};

QTEST_MAIN(LaunchersTest)
#include "launchers_test.moc"
