// A plain Qt Widgets window with the client's controls at the client's places, and nothing else:
// no core, no adapters, no font search, no resources.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

#include "startup_probe.hpp"

namespace {

QLabel* picture(QWidget* parent, const char* file, QRect geometry) {
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap(QStringLiteral(CORVALIS_ASSETS "/") + QString::fromLatin1(file)));
    label->setGeometry(geometry);
    return label;
}

QLabel* label(QWidget* parent, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    return label;
}

QPushButton* button(QWidget* parent, const QString& text, QRect geometry) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(geometry);
    return button;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Corvalis 01.07"));
    window.setFixedSize(350, 347);
    picture(&window, "logo.jpg", {48, 8, 251, 89});
    label(&window, QStringLiteral("Identificação da empresa---->"), {24, 136, 179, 25});
    auto* box = new QLineEdit(&window);
    box->setGeometry(200, 136, 123, 21);
    label(&window, QStringLiteral("Status:"), {64, 178, 41, 12});
    picture(&window, "sinal_vermelho.bmp", {120, 181, 8, 8});
    picture(&window, "sinal_verde.bmp", {40, 181, 8, 8})->hide();
    button(&window, QStringLiteral("Conectar"), {24, 193, 123, 35});
    button(&window, QStringLiteral("Tolvar Sistemas "), {200, 192, 123, 35});
    button(&window, QStringLiteral("Controle de Acesso"), {24, 256, 123, 35});
    button(&window, QStringLiteral("Sair"), {200, 256, 123, 35})->setFocus();
    label(&window, QString(), {0, 316, 353, 12});
    label(&window, QStringLiteral("Conexão Desativada"), {0, 327, 353, 20});
    corvalis::qt::reportFirstPaintWhenAsked(window);
    window.show();
    return QApplication::exec();
}
