#include "main_window.hpp"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <utility>

#include "built_in_picture.hpp"
#include "qt_text.hpp"
#include "status_announcement.hpp"

namespace corvalis::qt {

MainWindow::MainWindow(const app::Folders& folders, link::Endpoint controlServer,
                       std::chrono::milliseconds timeout)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      controls_(*this),
      remoteDesktop_(this),
      frmCv_(app::Ports{*this, winsock1_, timer1_, files_, remoteDesktop_, browser_}, folders,
             std::move(controlServer), timeout) {
    setObjectName(QStringLiteral("frmCV"));
    setWindowTitle(toQString(app::kInitialCaption));
    setWindowIcon(QIcon(builtInPicture(QStringLiteral(":/corvalis/icon.png"))));
    connectEvents();
}

void MainWindow::connectEvents() {
    using app::ControlId;
    control(ControlId::IdentInst)->installEventFilter(this);
    connect(control<QPushButton>(ControlId::Conectar), &QPushButton::clicked, this,
            [this] { frmCv_.conectarClick(); });
    connect(control<QPushButton>(ControlId::Sistema), &QPushButton::clicked, this,
            [this] { frmCv_.sistemaClick(); });
    connect(control<QPushButton>(ControlId::Lumo), &QPushButton::clicked, this,
            [this] { frmCv_.lumoClick(); });
    connect(control<QPushButton>(ControlId::cbutton3), &QPushButton::clicked, this,
            &QWidget::close);
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

void MainWindow::setCaption(std::string_view text) {
    setWindowTitle(toQString(text));
}

void MainWindow::setStatus(std::string_view text) {
    auto* label = control<QLabel>(app::ControlId::Aviso);
    label->setText(toQString(text));
    announceStatus(*label, label->text());
}

void MainWindow::setLightVisible(ports::Light light, bool visible) {
    control(app::lightControl(light))->setVisible(visible);
}

bool MainWindow::isLightVisible(ports::Light light) const {
    // Asked of the picture itself, so the answer holds before the window is first shown.
    return !control(app::lightControl(light))->isHidden();
}

int MainWindow::lightLeft(ports::Light light) const {
    return controls_.left(app::lightControl(light));
}

void MainWindow::setLightLeft(ports::Light light, int twips) {
    controls_.setLeft(app::lightControl(light), twips);
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
