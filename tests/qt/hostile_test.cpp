// What a broken or hostile control server, or an odd identification, can do to the window.
#include <sys/resource.h>

#include <QDir>
#include <QFontMetrics>
#include <QTest>

#include "url_recorder.hpp"
#include "window_fixture.hpp"
#include "window_font.hpp"

using corvalis::qt::testing::ControlServerDouble;
using corvalis::qt::testing::kGreeting;
using corvalis::qt::testing::kPatienceMs;
using corvalis::qt::testing::kRefusalEnding;
using corvalis::qt::testing::readFile;
using corvalis::qt::testing::UrlRecorder;
using corvalis::qt::testing::WindowFixture;

namespace {

// The descriptor the next open() would get.
int lowestFreeDescriptor() {
    QList<int> open;
    for (const QString& entry : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files)) {
        open << entry.toInt();
    }
    int lowest = 0;
    while (open.contains(lowest)) {
        ++lowest;
    }
    return lowest;
}

const QString kAccepted = QStringLiteral("Conexão Ativada.");
const QString kInvalidAccess =
    QStringLiteral("Os dados de acesso recebidos do servidor de controle são inválidos.");

// "~" stands for a NUL byte.
QByteArray withNuls(const char* text) {
    return QByteArray(text).replace('~', '\0');
}

QString refusalStatus(const QString& identification) {
    return QStringLiteral("O LOGIN está incorreto. '") + identification +
           QStringLiteral("' não foi encontrado na tabela.");
}

}  // namespace

class HostileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { corvalis::qt::loadTahoma(); }

    void markupInTheIdentificationShowsLiterally_data() {
        QTest::addColumn<QString>("identification");
        QTest::newRow("bold") << QStringLiteral("<b>x</b>");
        QTest::newRow("image") << QStringLiteral("<img src=x.png>");
        QTest::newRow("link") << QStringLiteral("<a href='http://x'>y</a>");
    }

    void markupInTheIdentificationShowsLiterally() {
        QFETCH(QString, identification);
        WindowFixture fixture;
        fixture.server.setReply(kRefusalEnding);
        fixture.open();
        fixture.connectAs(identification);

        const QString expected = refusalStatus(identification);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), expected, kPatienceMs);
        QCOMPARE(fixture.server.received(0), "PEL_" + identification.toLatin1());
        QLabel* aviso = fixture.label("Aviso");
        QCOMPARE(aviso->textFormat(), Qt::PlainText);
        // Laid out as the characters themselves: markup read as rich text would be far narrower.
        QCOMPARE(aviso->sizeHint().width() - 2 * aviso->margin() - 2 * aviso->frameWidth(),
                 aviso->fontMetrics().horizontalAdvance(expected));
    }

    void windows1252TextCrossesTheWireAndTheFile() {
        WindowFixture fixture;
        fixture.server.setReply("n\xE3o consta. " + kRefusalEnding.toUpper());
        fixture.open();
        fixture.connectAs(QStringLiteral("Associação Ñandu €"));

        QCOMPARE(fixture.identInst()->text(), QStringLiteral("associação ñandu €"));
        QCOMPARE(readFile(fixture.iniPath()), QByteArray("associa\xE7\xE3o \xF1"
                                                         "andu \x80\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), refusalStatus("associação ñandu €"),
                                  kPatienceMs);
        QCOMPARE(fixture.server.received(0), QByteArray("PEL_associa\xE7\xE3o \xF1"
                                                        "andu \x80"));
    }

    void oddBytesInTheRecordNeverReachALauncher_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("bytes 0x80-0xFF") << QByteArray("h\xE9st\xFF\x80|a|b|3390|8080");
        QTest::newRow("NUL in the address") << withNuls("10.0.0.7~|a|b|3390|8080");
        QTest::newRow("NUL in the ports") << withNuls("10.0.0.7|a|b|33~90|80~80");
        QTest::newRow("command-line characters") << QByteArray("10.0.0.7 /p:x|a|b|3390|8080");
    }

    void oddBytesInTheRecordNeverReachALauncher() {
        QFETCH(QByteArray, reply);
        UrlRecorder browser;
        WindowFixture fixture;
        fixture.server.setReply(reply);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kAccepted, kPatienceMs);
        QVERIFY(fixture.greenLight()->isVisible());

        QTest::mouseClick(fixture.button("Sistema"), Qt::LeftButton);
        QTest::mouseClick(fixture.button("Lumo"), Qt::LeftButton);
        QCOMPARE(fixture.messageBoxes.texts(), (QStringList{kInvalidAccess, kInvalidAccess}));
        QVERIFY(browser.urls().isEmpty());
    }

    void greetingWithATrailingNulIsAReply() {
        WindowFixture fixture;
        fixture.server.setGreeting(kGreeting + QByteArray(1, '\0'));
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));

        // Not the greeting, so taken as an access record, and no request goes out.
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kAccepted, kPatienceMs);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.server.isOpen(0), kPatienceMs);
        QCOMPARE(fixture.server.received(0), QByteArray());
    }

    void oneMebibyteReplyIsTakenByItsFirstPart() {
        UrlRecorder browser;
        WindowFixture fixture;
        fixture.server.setReply("10.0.0.7|a|b|3390|8080|" + QByteArray(1024 * 1024, 'x'));
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));

        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kAccepted, kPatienceMs);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.server.isOpen(0), kPatienceMs);
        QTest::mouseClick(fixture.button("Lumo"), Qt::LeftButton);
        QCOMPARE(browser.urls(), QStringList{QStringLiteral("http://10.0.0.7:8080/lumo")});
    }

    void silentOrVanishingServerEndsInTheTimeOut_data() {
        QTest::addColumn<ControlServerDouble::OnConnect>("onConnect");
        QTest::newRow("never greets") << ControlServerDouble::OnConnect::StaySilent;
        QTest::newRow("closes at once") << ControlServerDouble::OnConnect::CloseAtOnce;
    }

    void silentOrVanishingServerEndsInTheTimeOut() {
        QFETCH(ControlServerDouble::OnConnect, onConnect);
        WindowFixture fixture;
        fixture.server.setOnConnect(onConnect);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QCOMPARE(fixture.status(), QStringLiteral("Estabelecendo conexão."));

        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(),
                                  QStringLiteral("Falha na conexão com servidor da Drevant."),
                                  kPatienceMs);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.server.isOpen(0), kPatienceMs);
        QCOMPARE(fixture.server.received(0), QByteArray());
        QVERIFY(fixture.redLight()->isVisible());
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }

    void socketThatCannotBeCreatedIsReported() {
        WindowFixture fixture;
        fixture.server.setOnConnect(ControlServerDouble::OnConnect::StaySilent);
        fixture.open();
        fixture.identInst()->setText(QStringLiteral("acme"));
        // No file descriptor left: neither the identification file nor the socket can be opened.
        rlimit original{};
        getrlimit(RLIMIT_NOFILE, &original);
        rlimit exhausted = original;
        exhausted.rlim_cur = static_cast<rlim_t>(lowestFreeDescriptor());
        setrlimit(RLIMIT_NOFILE, &exhausted);
        QTest::mouseClick(fixture.button("Conectar"), Qt::LeftButton);
        setrlimit(RLIMIT_NOFILE, &original);

        QCOMPARE(
            fixture.messageBoxes.texts(),
            (QStringList{QStringLiteral("Ocorreu erro no procedimento 'tratarIni'."),
                         QStringLiteral("Ocorreu erro no procedimento de conexão após etapa 6")}));
        QCOMPARE(fixture.status(), QStringLiteral("Estabelecendo conexão."));
    }

    void refusedPortEndsInTheTimeOut() {
        WindowFixture fixture;
        fixture.server.stopListening();
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));

        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(),
                                  QStringLiteral("Falha na conexão com servidor da Drevant."),
                                  kPatienceMs);
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }
};

QTEST_MAIN(HostileTest)
#include "hostile_test.moc"
