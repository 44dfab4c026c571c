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

        // The installed client starts and keeps running, its identification file beside it and
        // not where it was started from.
        QProcess client;
        client.start(folder.filePath(QStringLiteral("corvalis")));
        QVERIFY(client.waitForStarted(kProcessPatienceMs));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.filePath(QStringLiteral("pelmark.ini"))),
                                 kProcessPatienceMs);
        QCOMPARE(client.state(), QProcess::Running);
        client.kill();
        client.waitForFinished(kProcessPatienceMs);
    }
};

QTEST_MAIN(ClientTest)
#include "client_test.moc"
