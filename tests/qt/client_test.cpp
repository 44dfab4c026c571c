// The client as shipped: installed into a folder of its own, then started from there.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

namespace {

constexpr std::chrono::milliseconds kProcessPatience{60000};
constexpr int kProcessPatienceMs = static_cast<int>(kProcessPatience.count());

}  // namespace

class ClientTest : public QObject {
    Q_OBJECT

private slots:
    void installedClientStartsWithItsFilesBesideIt() {
        // A blank in the path, as in many a program folder.
        QTemporaryDir prefix(QDir::tempPath() + QStringLiteral("/corvalis instalado-XXXXXX"));
        QProcess install;
        install.start(
            QStringLiteral(CORVALIS_CMAKE),
            {"--install", CORVALIS_BUILD_DIR, "--component", "client", "--prefix", prefix.path()});
        QVERIFY(install.waitForFinished(kProcessPatienceMs));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
        const QDir folder(prefix.path());
        QCOMPARE(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{"Tol-Cloud.rdp", "corvalis", "corvalis.desktop", "corvalis.png"}));
        QFile entry(folder.filePath(QStringLiteral("corvalis.desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("\nExec=\"" + QFile::encodeName(prefix.path()) +
                                         "/corvalis\"\n"));

        // Asked to, the client quits once its window is first painted.
        qputenv("CORVALIS_BENCH_EXIT_ON_SHOW", "1");
        QProcess client;
        client.start(folder.filePath(QStringLiteral("corvalis")));
        QVERIFY(client.waitForFinished(kProcessPatienceMs));
        QCOMPARE(client.exitStatus(), QProcess::NormalExit);
        QCOMPARE(client.exitCode(), 0);
        QVERIFY(client.readAllStandardOutput().startsWith("shown_ns="));
        // The identification file lives with the program, not where it was started from.
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("pelmark.ini"))));
    }
};

QTEST_MAIN(ClientTest)
#include "client_test.moc"
