#include "main_window.hpp"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <utility>

#include "built_in_picture.hpp"
#include "qt_text.hpp"
#include "window_font.hpp"

namespace corvalis::qt {
namespace {

using app::twipsToPixels;

QRect pixelGeometry(const app::ControlDefinition& definition) {
    return {twipsToPixels(definition.left), twipsToPixels(definition.top),
            twipsToPixels(definition.width), twipsToPixels(definition.height)};
}

QColor toQColor(app::Rgb rgb) {
    return {rgb.red, rgb.green, rgb.blue};
}

QString artworkResource(app::Artwork artwork) {
    switch (artwork) {
        case app::Artwork::Logo:
            return QStringLiteral(":/corvalis/logo.png");
        case app::Artwork::LightRed:
            return QStringLiteral(":/corvalis/sinal_vermelho.bmp");
        case app::Artwork::LightGreen:
            return QStringLiteral(":/corvalis/sinal_verde.bmp");
        case app::Artwork::None:
            break;
    }
    return {};
}

// Label boxes are taller than their one line of text, which sits at the top.
Qt::Alignment labelAlignment(app::Alignment alignment) {
    return Qt::AlignTop | (alignment == app::Alignment::Center ? Qt::AlignHCenter : Qt::AlignLeft);
}

QLabel* createPicture(const app::ControlDefinition& definition, QWidget* parent) {
    auto* picture = new QLabel(parent);
    // At natural size, never stretched to its box.
    picture->setPixmap(builtInPicture(artworkResource(definition.artwork)));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return picture;
}

QLabel* createLabel(const app::ControlDefinition& definition, QWidget* parent) {
    auto* label = new QLabel(parent);
    // A status text can carry a typed identification: it must never be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(toQString(definition.text));
    label->setAlignment(labelAlignment(definition.alignment));
    return label;
}

QPushButton* createButton(const app::ControlDefinition& definition, QWidget* parent) {
    auto* button = new QPushButton(toQString(definition.text), parent);
    // Enter on a focused button clicks it: Enter in the box leads to Conectar, a second one
    // connects. Outside a dialog no button is a default one, so the box's own Enter clicks none.
    button->setAutoDefault(true);
    return button;
}

QWidget* createControl(const app::ControlDefinition& definition, QWidget* parent) {
    switch (definition.kind) {
        case app::ControlKind::Picture:
            return createPicture(definition, parent);
        case app::ControlKind::Label:
            return createLabel(definition, parent);
        case app::ControlKind::TextBox:
            return new QLineEdit(toQString(definition.text), parent);
        case app::ControlKind::Button:
            return createButton(definition, parent);
    }
    return nullptr;
}

QPalette::ColorRole foregroundRole(app::ControlKind kind) {
    switch (kind) {
        case app::ControlKind::TextBox:
            return QPalette::Text;
        case app::ControlKind::Button:
            return QPalette::ButtonText;
        case app::ControlKind::Picture:
        case app::ControlKind::Label:
            break;
    }
    return QPalette::WindowText;
}

void applyColours(const app::ControlDefinition& definition, QWidget& widget) {
    QPalette palette = widget.palette();
    if (definition.foreground) {
        palette.setColor(foregroundRole(definition.kind), toQColor(*definition.foreground));
    }
    if (definition.background) {
        palette.setColor(QPalette::Window, toQColor(*definition.background));
        widget.setAutoFillBackground(true);
    }
    widget.setPalette(palette);
}

}  // namespace

MainWindow::MainWindow(const app::Folders& folders, link::Endpoint controlServer,
                       std::chrono::milliseconds timeout)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      remoteDesktop_(this),
      frmCv_(app::Ports{*this, winsock1_, timer1_, files_, remoteDesktop_, browser_}, folders,
             std::move(controlServer), timeout) {
    setObjectName(QStringLiteral("frmCV"));
    setWindowTitle(toQString(app::kInitialCaption));
    setWindowIcon(QIcon(builtInPicture(QStringLiteral(":/corvalis/icon.png"))));
    setFixedSize(twipsToPixels(app::kClientWidth), twipsToPixels(app::kClientHeight));
    setFont(windowFont());
    createControls();
    connectEvents();
}

void MainWindow::createControls() {
    for (const app::ControlDefinition& definition : app::kControls) {
        QWidget* widget = createControl(definition, this);
        widget->setObjectName(toQString(definition.name));
        widget->setGeometry(pixelGeometry(definition));
        widget->setAccessibleName(toQString(definition.accessibleName));
        applyColours(definition, *widget);
        widget->setVisible(definition.visible);
        controls_[app::controlIndex(definition.id)] = widget;
    }

    const std::vector<app::ControlId> order = app::focusOrder();
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(control(order[i - 1]), control(order[i]));
    }
}

void MainWindow::connectEvents() {
    using app::ControlId;
    control(ControlId::IdentInst)->installEventFilter(this);
    connect(control<QPushButton>(ControlId::Conectar), &QPushButton::clicked, this,
            &MainWindow::onConectarClicked);
    connect(control<QPushButton>(ControlId::Sistema), &QPushButton::clicked, this,
            &MainWindow::onSistemaClicked);
    connect(control<QPushButton>(ControlId::Lumo), &QPushButton::clicked, this,
            &MainWindow::onLumoClicked);
    connect(control<QPushButton>(ControlId::cbutton3), &QPushButton::clicked, this,
            &QWidget::close);
    connect(&timer1_, &EventTimer::timeout, this, &MainWindow::onTimer1Timer);
    connect(&winsock1_, &TcpSocket::dataArrival, this, &MainWindow::onWinsock1DataArrival);
    connect(&remoteDesktop_, &RemoteDesktopStarter::ended, this, &MainWindow::onRemoteDesktopEnded);
}

void MainWindow::start() {
    frmCv_.formLoad();
    centreOnScreen();
    show();
    control(app::focusOrder().front())->setFocus(Qt::OtherFocusReason);
}

void MainWindow::centreOnScreen() {
    // The client area, which is what the window's layout is measured in, goes to the centre.
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                    screen()->availableGeometry()));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == control(app::ControlId::IdentInst) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // The key still reaches the box afterwards; the handler never changes it.
            static_cast<void>(frmCv_.identInstKeyPress(app::kCarriageReturn));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The program ends with its window: nothing is saved, and no time-out or data arrival may be
    // handled once it is gone.
    timer1_.stop();
    winsock1_.close();
    event->accept();
}

void MainWindow::onConectarClicked() {
    frmCv_.conectarClick();
}

void MainWindow::onSistemaClicked() {
    frmCv_.sistemaClick();
}

void MainWindow::onLumoClicked() {
    frmCv_.lumoClick();
}

void MainWindow::onTimer1Timer() {
    frmCv_.timer1Timer();
}

void MainWindow::onWinsock1DataArrival() {
    frmCv_.winsock1DataArrival();
}

void MainWindow::onRemoteDesktopEnded(std::optional<int> exitStatus) {
    frmCv_.remoteDesktopEnded(exitStatus);
}

QLabel* MainWindow::lightPicture(ports::Light light) const {
    return control<QLabel>(light == ports::Light::Verde ? app::ControlId::sinalVerde
                                                        : app::ControlId::sinalVermelho);
}

void MainWindow::setCaption(std::string_view text) {
    setWindowTitle(toQString(text));
}

void MainWindow::setStatus(std::string_view text) {
    control<QLabel>(app::ControlId::Aviso)->setText(toQString(text));
}

void MainWindow::setLightVisible(ports::Light light, bool visible) {
    lightPicture(light)->setVisible(visible);
}

bool MainWindow::isLightVisible(ports::Light light) const {
    // Asked of the picture itself, so the answer holds before the window is first shown.
    return !lightPicture(light)->isHidden();
}

int MainWindow::lightLeft(ports::Light light) const {
    return light == ports::Light::Verde ? greenLeftTwips_ : redLeftTwips_;
}

void MainWindow::setLightLeft(ports::Light light, int twips) {
    (light == ports::Light::Verde ? greenLeftTwips_ : redLeftTwips_) = twips;
    QLabel* picture = lightPicture(light);
    picture->move(twipsToPixels(twips), picture->y());
}

std::string MainWindow::identification() const {
    return control<QLineEdit>(app::ControlId::IdentInst)->text().toStdString();
}

void MainWindow::setIdentification(std::string_view text) {
    control<QLineEdit>(app::ControlId::IdentInst)->setText(toQString(text));
}

void MainWindow::setFocus(app::ControlId id) {
    control(id)->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showMessage(std::string_view text) {
    QMessageBox box(this);
    box.setWindowTitle(toQString(app::kApplicationTitle));
    box.setTextFormat(Qt::PlainText);
    box.setText(toQString(text));
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace corvalis::qt
