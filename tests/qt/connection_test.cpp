// Conectar, Timer1 and Winsock1 end to end: the real window against a control server on loopback.
#include <QTest>

#include "window_fixture.hpp"
#include "window_font.hpp"

using corvalis::qt::testing::ControlServerDouble;
using corvalis::qt::testing::kPatienceMs;
using corvalis::qt::testing::kRedLightPosition;
using corvalis::qt::testing::kRefusalEnding;
using corvalis::qt::testing::kSettle;
using corvalis::qt::testing::kShortTimeout;
using corvalis::qt::testing::readFile;
using corvalis::qt::testing::wait;
using corvalis::qt::testing::WindowFixture;
using namespace std::chrono_literals;

namespace {

const QByteArray kRecord = QByteArrayLiteral("10.0.0.7|a|b|3390|8080|c|d|e|f");
const QString kAccepted = QStringLiteral("Conexão Ativada.");
const QString kTimedOut = QStringLiteral("Falha na conexão com servidor da Drevant.");
const QString kConnecting = QStringLiteral("Estabelecendo conexão.");

}  // namespace

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { corvalis::qt::loadTahoma(); }

    void acceptedRecordTurnsTheLightGreen() {
        WindowFixture fixture;
        fixture.server.setReply(kRecord);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QCOMPARE(fixture.status(), kConnecting);

        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kAccepted, kPatienceMs);
        QCOMPARE(fixture.server.received(0), QByteArray("PEL_acme"));
        QVERIFY(fixture.redLight()->isHidden());
        QVERIFY(fixture.greenLight()->isVisible());
        QCOMPARE(fixture.greenLight()->pos(), kRedLightPosition);
        QCOMPARE(fixture.greenLight()->accessibleName(),
                 QStringLiteral("Sinal verde: conexão ativada"));
        const QColor lit =
            fixture.window().grab().toImage().pixelColor(kRedLightPosition + QPoint(4, 4));
        QVERIFY2(lit.green() > 100 && lit.red() < 100, qPrintable(lit.name()));
        // The client hangs up once the reply is handled.
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.server.isOpen(0), kPatienceMs);
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }

    void requestCarriesTheNormalisedIdentification_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("upper case and blanks")
            << QStringLiteral("  ACME ") << QStringLiteral("acme") << QByteArray("acme\r\n")
            << QByteArray("PEL_acme");
        QTest::newRow("blanks only")
            << QStringLiteral("   ") << QString() << QByteArray("\r\n") << QByteArray("PEL_");
    }

    void requestCarriesTheNormalisedIdentification() {
        QFETCH(QString, typed);
        QFETCH(QString, box);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, request);
        WindowFixture fixture;
        fixture.server.setReply(kRecord);
        fixture.open();
        fixture.connectAs(typed);

        QCOMPARE(fixture.identInst()->text(), box);
        QCOMPARE(readFile(fixture.iniPath()), file);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kAccepted, kPatienceMs);
        QCOMPARE(fixture.server.received(0), request);
    }

    void emptyIdentificationIsAskedFor() {
        WindowFixture fixture;
        fixture.open();
        QTest::mouseClick(fixture.button("Conectar"), Qt::LeftButton);

        QCOMPARE(fixture.messageBoxes.texts(),
                 QStringList{QStringLiteral("Informe o login de acesso ao servidor de controle.")});
        QCOMPARE(fixture.status(), QStringLiteral("Conexão Desativada"));
        QCOMPARE(readFile(fixture.iniPath()), QByteArray());
        wait(kSettle);
        QCOMPARE(fixture.server.connectionCount(), 0);
    }

    void refusalNamesTheIdentification() {
        WindowFixture fixture;
        fixture.server.setReply("Empresa sem acesso: " + kRefusalEnding);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));

        QTRY_COMPARE_WITH_TIMEOUT(
            fixture.status(),
            QStringLiteral("O LOGIN está incorreto. 'acme' não foi encontrado na tabela."),
            kPatienceMs);
        QCOMPARE(fixture.server.received(0), QByteArray("PEL_acme"));
        QVERIFY(fixture.redLight()->isVisible());
        QVERIFY(fixture.greenLight()->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.server.isOpen(0), kPatienceMs);
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }

    void greetingWithoutReplyWaitsWithoutTimeOut() {
        WindowFixture fixture;
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));

        QTRY_COMPARE_WITH_TIMEOUT(fixture.server.received(0), QByteArray("PEL_acme"), kPatienceMs);
        QCOMPARE(fixture.status(), QStringLiteral("Iniciando a conexão."));
        wait(3 * kShortTimeout);
        QCOMPARE(fixture.status(), QStringLiteral("Iniciando a conexão."));
        QVERIFY(fixture.server.isOpen(0));
    }

    void timeOutThenSuccessLeavesNoStaleText() {
        WindowFixture fixture;
        fixture.server.setOnConnect(ControlServerDouble::OnConnect::StaySilent);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kTimedOut, kPatienceMs);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.server.isOpen(0), kPatienceMs);

        fixture.server.setOnConnect(ControlServerDouble::OnConnect::Greet);
        fixture.server.setReply(kRecord);
        QTest::mouseClick(fixture.button("Conectar"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kAccepted, kPatienceMs);
        wait(3 * kShortTimeout);
        QCOMPARE(fixture.status(), kAccepted);
        QCOMPARE(fixture.server.connectionCount(), 2);
    }

    void secondConnectDropsTheAccess() {
        WindowFixture fixture;
        fixture.server.setReply(kRecord);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kAccepted, kPatienceMs);

        QTest::mouseClick(fixture.button("Conectar"), Qt::LeftButton);
        QCOMPARE(fixture.status(), QStringLiteral("Conexão desativada."));
        QVERIFY(fixture.redLight()->isVisible());
        QCOMPARE(fixture.redLight()->pos(), kRedLightPosition);
        QVERIFY(fixture.greenLight()->isHidden());
        QCOMPARE(fixture.greenLight()->pos(), kRedLightPosition);
        wait(kSettle);
        QCOMPARE(fixture.server.connectionCount(), 1);

        // The access is gone for both launchers.
        QTest::mouseClick(fixture.button("Sistema"), Qt::LeftButton);
        QTest::mouseClick(fixture.button("Lumo"), Qt::LeftButton);
        const QString connectFirst = QStringLiteral(
            "É necessário conectar para atualizar os dados antes de acessar os servidores.");
        QCOMPARE(fixture.messageBoxes.texts(), (QStringList{connectFirst, connectFirst}));
    }

    void connectWhilePendingStartsAgain() {
        // Long enough that the test can click twice within one countdown.
        constexpr auto timeout = 1500ms;
        constexpr auto lessThanTimeout = 1000ms;
        WindowFixture fixture(timeout);
        fixture.server.setOnConnect(ControlServerDouble::OnConnect::StaySilent);
        fixture.server.setReply(kRecord);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.server.connectionCount(), 1, kPatienceMs);
        wait(lessThanTimeout);

        QTest::mouseClick(fixture.button("Conectar"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.server.connectionCount(), 2, kPatienceMs);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.server.isOpen(0), kPatienceMs);
        QVERIFY(fixture.server.isOpen(1));
        // Past the first click's time-out: the countdown started again with the second click.
        wait(lessThanTimeout);
        QCOMPARE(fixture.status(), kConnecting);

        fixture.server.greet(1);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), kAccepted, kPatienceMs);
        QCOMPARE(fixture.server.received(0), QByteArray());
        QCOMPARE(fixture.server.received(1), QByteArray("PEL_acme"));
    }
};

QTEST_MAIN(ConnectionTest)
#include "connection_test.moc"
