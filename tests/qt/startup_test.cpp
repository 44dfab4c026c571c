// The built program itself: started as a user starts it, and installed as it is shipped.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

#include "control_server_double.hpp"
#include "window_fixture.hpp"

using corvalis::qt::testing::readFile;

namespace {

constexpr std::chrono::milliseconds kProcessPatience{60000};
constexpr int kProcessPatienceMs = static_cast<int>(kProcessPatience.count());

struct Run {
    int exitCode;
    QByteArray output;
};

// Starts the client with the window reporting its first paint and quitting.
Run runUntilShown(const QString& program) {
    corvalis::qt::testing::ControlServerDouble server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("CORVALIS_BENCH_EXIT_ON_SHOW"), QStringLiteral("1"));
    environment.insert(QStringLiteral("CORVALIS_CONTROL_SERVER"),
                       QStringLiteral("127.0.0.1:%1").arg(server.endpoint().port));
    QProcess client;
    client.setProcessEnvironment(environment);
    client.setProgram(program);
    client.setProcessChannelMode(QProcess::SeparateChannels);
    client.start();
    if (!client.waitForFinished(kProcessPatienceMs)) {
        client.kill();
        client.waitForFinished();
        return {-1, {}};
    }
    return {client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1,
            client.readAllStandardOutput()};
}

bool isFirstPaintReport(const QByteArray& output) {
    static const QRegularExpression report(QStringLiteral("^shown_ns=\\d+ rss_kb=\\d+\\n$"));
    return report.match(QString::fromLatin1(output)).hasMatch();
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void clientOpensItsWindowBesideItsOwnFile() {
        QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/corvalis pasta-XXXXXX"));
        const QString client = folder.filePath(QStringLiteral("corvalis"));
        QVERIFY(QFile::copy(QStringLiteral(CORVALIS_CLIENT), client));

        const Run run = runUntilShown(client);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(isFirstPaintReport(run.output), run.output.constData());
        // The identification file lives with the program, wherever it was started from.
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("pelmark.ini"))));
        QCOMPARE(readFile(folder.filePath(QStringLiteral("pelmark.ini"))), QByteArray());
    }

    void connectionFileSitsBesideTheBuiltClient() {
        const QString beside = QFileInfo(QStringLiteral(CORVALIS_CLIENT))
                                   .dir()
                                   .filePath(QStringLiteral("Tol-Cloud.rdp"));
        QVERIFY(readFile(beside).contains("full address:s:"));
    }

    void installLaysOutASelfContainedFolder() {
        QTemporaryDir prefix(QDir::tempPath() + QStringLiteral("/corvalis instalado-XXXXXX"));
        QProcess install;
        install.start(QStringLiteral(CORVALIS_CMAKE),
                      {QStringLiteral("--install"), QStringLiteral(CORVALIS_BUILD_DIR),
                       QStringLiteral("--component"), QStringLiteral("client"),
                       QStringLiteral("--prefix"), prefix.path()});
        QVERIFY(install.waitForFinished(kProcessPatienceMs));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

        const QDir folder(prefix.path());
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{"Tol-Cloud.rdp", "corvalis", "corvalis.desktop", "corvalis.png"}));
        QVERIFY(QFileInfo(folder.filePath(QStringLiteral("corvalis"))).isExecutable());
        QVERIFY(
            readFile(folder.filePath(QStringLiteral("Tol-Cloud.rdp"))).contains("full address:s:"));
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("corvalis.png"))));
        const QByteArray entry = readFile(folder.filePath(QStringLiteral("corvalis.desktop")));
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nExec=\"" + QFile::encodeName(prefix.path()) + "/corvalis\"\n"));
        QVERIFY(entry.contains("\nIcon=" + QFile::encodeName(prefix.path()) + "/corvalis.png\n"));

        const Run run = runUntilShown(folder.filePath(QStringLiteral("corvalis")));
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("pelmark.ini"))));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
