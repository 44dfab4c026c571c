// The window as a user meets it: start-up, layout, look, keyboard, message boxes and exit.
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "app/control_table.hpp"
#include "window_fixture.hpp"
#include "window_font.hpp"

using corvalis::qt::testing::kGreenLightStartPosition;
using corvalis::qt::testing::kPatienceMs;
using corvalis::qt::testing::kRedLightPosition;
using corvalis::qt::testing::kSettle;
using corvalis::qt::testing::readFile;
using corvalis::qt::testing::typeText;
using corvalis::qt::testing::wait;
using corvalis::qt::testing::WindowFixture;
using corvalis::qt::testing::writeFile;
namespace app = corvalis::app;

namespace {

QString qs(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// 15 twips to the pixel, to the nearest pixel.
int pixels(int twips) {
    return (twips + 7) / 15;
}

QColor pixelAt(QWidget* widget, QPoint point) {
    return widget->grab().toImage().pixelColor(point);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { corvalis::qt::loadTahoma(); }

    void firstStartShowsTheWindowAsCreated() {
        WindowFixture fixture;
        fixture.open();
        QWidget& window = fixture.window();

        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Corvalis 01.07"));
        QCOMPARE(window.size(), QSize(350, 347));
        const QPoint offCentre =
            window.geometry().center() - window.screen()->availableGeometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 1, "the window opens centred on its screen");
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(fixture.identInst()->text(), QString());
        QCOMPARE(fixture.status(), QStringLiteral("Conexão Desativada"));
        QVERIFY(fixture.redLight()->isVisible());
        QCOMPARE(fixture.redLight()->pos(), kRedLightPosition);
        QVERIFY(fixture.greenLight()->isHidden());
        QCOMPARE(fixture.greenLight()->pos(), kGreenLightStartPosition);
        QCOMPARE(window.focusWidget(), fixture.button("cbutton3"));

        // The first start leaves an empty identification file beside the program.
        QVERIFY(QFile::exists(fixture.iniPath()));
        QCOMPARE(readFile(fixture.iniPath()), QByteArray());
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }

    void savedIdentificationFillsTheBox_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        QTest::newRow("saved by Connect") << QByteArray("acme\r\n") << QStringLiteral("acme");
        QTest::newRow("edited by hand: shown unchanged, later lines unread")
            << QByteArray("  ACME \r\nsecond\r\n") << QStringLiteral("  ACME ");
        QTest::newRow("Windows-1252")
            << QByteArray("associa\xE7\xE3o\r\n") << QStringLiteral("associação");
    }

    void savedIdentificationFillsTheBox() {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        WindowFixture fixture;
        writeFile(fixture.iniPath(), file);
        fixture.open();

        QCOMPARE(fixture.identInst()->text(), shown);
        QCOMPARE(fixture.window().focusWidget(), fixture.button("cbutton3"));
        QCOMPARE(readFile(fixture.iniPath()), file);
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }

    void unusableFolderIsReportedBeforeTheWindowOpens() {
        WindowFixture fixture;
        fixture.setApplicationFolder(fixture.folderPath() + QStringLiteral("/missing"));
        fixture.open();

        QCOMPARE(fixture.messageBoxes.messages().size(), 1);
        const auto& message = fixture.messageBoxes.messages().front();
        QCOMPARE(message.text, QStringLiteral("Ocorreu erro no procedimento 'tratarIni'."));
        QCOMPARE(message.title, QStringLiteral("Pelmark"));
        QVERIFY(!message.windowVisible);
        // The window then opens normally.
        QVERIFY(fixture.window().isVisible());
        QCOMPARE(fixture.window().windowTitle(), QStringLiteral("Corvalis 01.07"));
        QCOMPARE(fixture.status(), QStringLiteral("Conexão Desativada"));
    }

    void messageBoxFollowsTheConvention() {
        WindowFixture fixture;
        fixture.open();
        QTest::mouseClick(fixture.button("Conectar"), Qt::LeftButton);

        QCOMPARE(fixture.messageBoxes.messages().size(), 1);
        const auto& message = fixture.messageBoxes.messages().front();
        QCOMPARE(message.title, QStringLiteral("Pelmark"));
        QCOMPARE(message.text,
                 QStringLiteral("Informe o login de acesso ao servidor de controle."));
        QCOMPARE(message.icon, QMessageBox::NoIcon);
        QCOMPARE(message.buttonCount, 1);
        QCOMPARE(message.textFormat, Qt::PlainText);
        QVERIFY(message.applicationModal);
        QVERIFY(message.windowVisible);
    }

    void controlsStandWhereTheTableSays() {
        WindowFixture fixture;
        fixture.open();
        for (const app::ControlDefinition& definition : app::kControls) {
            QWidget* widget = fixture.window().findChild<QWidget*>(qs(definition.name));
            QVERIFY2(widget != nullptr, definition.name.data());
            const QRect expected(pixels(definition.left), pixels(definition.top),
                                 pixels(definition.width), pixels(definition.height));
            QCOMPARE(widget->geometry(), expected);
            QCOMPARE(!widget->isHidden(), definition.visible);
            QCOMPARE(widget->accessibleName(), qs(definition.accessibleName));
        }
        // A few written out from the window's design, in pixels.
        QCOMPARE(fixture.button("Conectar")->geometry(), QRect(24, 193, 123, 35));
        QCOMPARE(fixture.button("cbutton3")->geometry(), QRect(200, 256, 123, 35));
        QCOMPARE(fixture.identInst()->geometry(), QRect(200, 136, 123, 21));
        QCOMPARE(fixture.label("Aviso")->geometry(), QRect(0, 327, 353, 20));

        QCOMPARE(fixture.label("Label6")->text(), QStringLiteral("Identificação da empresa---->"));
        QCOMPARE(fixture.label("Label2")->text(), QStringLiteral("Status:"));
        QCOMPARE(fixture.label("Label1")->text(), QString());
        QCOMPARE(fixture.button("Conectar")->text(), QStringLiteral("Conectar"));
        QCOMPARE(fixture.button("Sistema")->text(), QStringLiteral("Tolvar Sistemas "));
        QCOMPARE(fixture.button("Lumo")->text(), QStringLiteral("Controle de Acesso"));
        QCOMPARE(fixture.button("cbutton3")->text(), QStringLiteral("Sair"));
        for (const char* name : {"Label6", "Label2", "Label1", "Aviso"}) {
            QCOMPARE(fixture.label(name)->textFormat(), Qt::PlainText);
        }
    }

    void textsUseTahomaBoldAndFitTheirBoxes() {
        WindowFixture fixture;
        fixture.open();
        const QStringList textControls{"Label6",   "Label2",  "Aviso", "Label1",  "IdentInst",
                                       "Conectar", "Sistema", "Lumo",  "cbutton3"};
        for (const QString& name : textControls) {
            QWidget* widget = fixture.window().findChild<QWidget*>(name);
            const QFontInfo font(widget->font());
            QVERIFY2(font.bold(), qPrintable(name));
            QCOMPARE(font.pixelSize(), 11);  // 8.25 pt at 96 dpi
            QCOMPARE(font.family(), QStringLiteral("Tahoma"));
        }
        for (const char* name : {"Label6", "Label2", "Aviso"}) {
            QLabel* label = fixture.label(name);
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), name);
        }
        for (const char* name : {"Conectar", "Sistema", "Lumo", "cbutton3"}) {
            QPushButton* button = fixture.button(name);
            QVERIFY2(button->sizeHint().width() <= button->width(), name);
        }
    }

    void coloursAreTheDesignedOnes() {
        WindowFixture fixture;
        fixture.open();
        const QColor darkGrey(0x66, 0x66, 0x66);
        const QColor green(0x00, 0x80, 0x00);
        QCOMPARE(fixture.label("Label6")->palette().color(QPalette::WindowText), darkGrey);
        QCOMPARE(fixture.label("Label2")->palette().color(QPalette::WindowText), darkGrey);
        QCOMPARE(fixture.identInst()->palette().color(QPalette::Text), darkGrey);
        QCOMPARE(fixture.button("Conectar")->palette().color(QPalette::ButtonText),
                 QColor(Qt::black));
        for (const char* name : {"Aviso", "Label1"}) {
            QLabel* label = fixture.label(name);
            QCOMPARE(label->palette().color(QPalette::WindowText), green);
            // Drawn white, not merely told so.
            QCOMPARE(pixelAt(label, QPoint(1, label->height() - 1)), QColor(Qt::white));
        }
    }

    void artworkShowsAtNaturalSize() {
        WindowFixture fixture;
        fixture.open();
        QCOMPARE(fixture.label("Image1")->pixmap().size(), QSize(251, 89));
        QCOMPARE(fixture.redLight()->pixmap().size(), QSize(8, 8));
        QCOMPARE(fixture.greenLight()->pixmap().size(), QSize(8, 8));
        QVERIFY(fixture.window().windowIcon().availableSizes().contains(QSize(32, 32)));

        // The red disc, on screen where the red light stands, with white corners.
        const QImage shot = fixture.window().grab().toImage();
        const QColor centre = shot.pixelColor(kRedLightPosition + QPoint(4, 4));
        QVERIFY2(centre.red() > 150 && centre.green() < 100, qPrintable(centre.name()));
        QCOMPARE(shot.pixelColor(kRedLightPosition), QColor(Qt::white));
    }

    void tabFollowsTheFocusOrder() {
        WindowFixture fixture;
        fixture.open();
        QApplication::setActiveWindow(&fixture.window());
        QVERIFY(QTest::qWaitForWindowActive(&fixture.window()));
        QCOMPARE(QApplication::focusWidget(), fixture.button("cbutton3"));

        const QList<QWidget*> expected{fixture.button("Lumo"), fixture.identInst(),
                                       fixture.button("Conectar"), fixture.button("Sistema"),
                                       fixture.button("cbutton3")};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void enterInTheBoxOnlyMovesTheFocus_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::newRow("empty box, Return") << QString() << int(Qt::Key_Return);
        QTest::newRow("filled box, Return") << QStringLiteral("acme") << int(Qt::Key_Return);
        QTest::newRow("filled box, keypad Enter") << QStringLiteral("acme") << int(Qt::Key_Enter);
    }

    void enterInTheBoxOnlyMovesTheFocus() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        WindowFixture fixture;
        fixture.open();
        fixture.identInst()->setFocus();
        QTest::keyClicks(fixture.identInst(), typed);
        QTest::keyClick(fixture.identInst(), static_cast<Qt::Key>(key));

        QCOMPARE(fixture.window().focusWidget(), fixture.button("Conectar"));
        QCOMPARE(fixture.identInst()->text(), typed);
        wait(kSettle);
        QCOMPARE(fixture.status(), QStringLiteral("Conexão Desativada"));
        QVERIFY(fixture.redLight()->isVisible());
        QCOMPARE(fixture.server.connectionCount(), 0);
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
        QCOMPARE(readFile(fixture.iniPath()), QByteArray());
    }

    void secondEnterConnects() {
        WindowFixture fixture;
        fixture.open();
        typeText(fixture.identInst(), QStringLiteral("acme"));
        QTest::keyClick(fixture.identInst(), Qt::Key_Return);
        QCOMPARE(fixture.status(), QStringLiteral("Conexão Desativada"));

        QTest::keyClick(fixture.window().focusWidget(), Qt::Key_Return);
        QCOMPARE(fixture.status(), QStringLiteral("Estabelecendo conexão."));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.server.received(0), QByteArray("PEL_acme"), kPatienceMs);
    }

    void leavingEndsAtOnceWithNothingSaved_data() {
        QTest::addColumn<bool>("bySair");
        QTest::newRow("Sair") << true;
        QTest::newRow("title bar close") << false;
    }

    void leavingEndsAtOnceWithNothingSaved() {
        QFETCH(bool, bySair);
        WindowFixture fixture;
        fixture.server.setOnConnect(
            corvalis::qt::testing::ControlServerDouble::OnConnect::StaySilent);
        fixture.open();
        fixture.connectAs(QStringLiteral("acme"));
        QTRY_COMPARE_WITH_TIMEOUT(fixture.server.connectionCount(), 1, kPatienceMs);
        writeFile(fixture.iniPath(), "edited\r\n");

        QTimer::singleShot(0, &fixture.window(), [&fixture, bySair] {
            if (bySair) {
                QTest::mouseClick(fixture.button("cbutton3"), Qt::LeftButton);
            } else {
                fixture.window().close();
            }
        });
        // The program's own event loop returns: the program ends.
        QTimer stuck;
        stuck.setSingleShot(true);
        connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        stuck.start(kPatienceMs);
        QCOMPARE(QApplication::exec(), 0);

        QVERIFY(!fixture.window().isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.server.isOpen(0), kPatienceMs);
        // Well past the time-out: the pending attempt is gone without a word.
        wait(3 * corvalis::qt::testing::kShortTimeout);
        QCOMPARE(fixture.status(), QStringLiteral("Estabelecendo conexão."));
        QCOMPARE(readFile(fixture.iniPath()), QByteArray("edited\r\n"));
        QVERIFY(fixture.messageBoxes.messages().isEmpty());
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
