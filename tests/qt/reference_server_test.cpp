// The window against the reference control server and its sample table, as the demo runs them.
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "url_recorder.hpp"
#include "window_fixture.hpp"
#include "window_font.hpp"

using corvalis::qt::testing::kPatienceMs;
using corvalis::qt::testing::UrlRecorder;
using corvalis::qt::testing::WindowFixture;

namespace {

const QString kAccepted = QStringLiteral("Conexão Ativada.");
const QString kNotAllowed = QStringLiteral("Solicite ao Dpto. Comercial a liberação deste acesso.");

QString refusalStatus(const QString& identification) {
    return QStringLiteral("O LOGIN está incorreto. '") + identification +
           QStringLiteral("' não foi encontrado na tabela.");
}

}  // namespace

class ReferenceServerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        corvalis::qt::loadTahoma();
        server_.setProgram(QStringLiteral(CORVALIS_CONTROL_SERVER_PROGRAM));
        server_.setArguments({QStringLiteral("--table"), QStringLiteral(CORVALIS_SAMPLE_TABLE),
                              QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                              QStringLiteral("--port"), QStringLiteral("0")});
        server_.start();
        QVERIFY(server_.waitForStarted(kPatienceMs));
        // The server names the port it picked once it listens.
        const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += server_.readAllStandardError(),
                                  listening.match(QString::fromUtf8(log)).hasMatch()),
                                 kPatienceMs);
        port_ = static_cast<std::uint16_t>(
            listening.match(QString::fromUtf8(log)).captured(1).toUInt());
    }

    void cleanupTestCase() {
        server_.terminate();
        server_.waitForFinished(kPatienceMs);
    }

    void sampleCompanies_data() {
        QTest::addColumn<QString>("identification");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("urls");
        QTest::newRow("acme: served")
            << "ACME" << kAccepted << QStringList{} << QStringList{"http://127.0.0.1:8080/lumo"};
        QTest::newRow("sorveteria: no remote desktop")
            << "sorveteria" << kAccepted << QStringList{kNotAllowed}
            << QStringList{"http://127.0.0.1:8080/lumo"};
        QTest::newRow("grafica: no web")
            << "grafica" << kAccepted << QStringList{kNotAllowed} << QStringList{};
        QTest::newRow("velharia: cancelled")
            << "velharia" << refusalStatus("velharia")
            << QStringList{QStringLiteral("É necessário conectar para atualizar os dados antes de "
                                          "acessar os servidores.")}
            << QStringList{};
        QTest::newRow("unknown") << "desconhecida" << refusalStatus("desconhecida")
                                 << QStringList{QStringLiteral(
                                        "É necessário conectar para atualizar os dados antes de "
                                        "acessar os servidores.")}
                                 << QStringList{};
    }

    // Connect, then the web button, and the remote-desktop button where the web one said nothing.
    void sampleCompanies() {
        QFETCH(QString, identification);
        QFETCH(QString, status);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, urls);
        UrlRecorder browser;
        WindowFixture fixture;
        fixture.setControlServer({"127.0.0.1", port_});
        fixture.open();
        fixture.connectAs(identification);

        QTRY_COMPARE_WITH_TIMEOUT(fixture.status(), status, kPatienceMs);
        QCOMPARE(fixture.greenLight()->isVisible(), status == kAccepted);
        QTest::mouseClick(fixture.button("Lumo"), Qt::LeftButton);
        if (identification == QStringLiteral("sorveteria")) {
            QTest::mouseClick(fixture.button("Sistema"), Qt::LeftButton);
        }
        QCOMPARE(fixture.messageBoxes.texts(), messages);
        QCOMPARE(browser.urls(), urls);
    }

private:
    QProcess server_;
    std::uint16_t port_ = 0;
};

QTEST_MAIN(ReferenceServerTest)
#include "reference_server_test.moc"
