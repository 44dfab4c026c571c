#include "controls.hpp"

#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

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
    return kind == app::ControlKind::TextBox  ? QPalette::Text
           : kind == app::ControlKind::Button ? QPalette::ButtonText
                                              : QPalette::WindowText;
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

Controls::Controls(QWidget& window) {
    window.setFixedSize(twipsToPixels(app::kClientWidth), twipsToPixels(app::kClientHeight));
    window.setFont(windowFont());
    for (const app::ControlDefinition& definition : app::kControls) {
        QWidget* widget = createControl(definition, &window);
        widget->setObjectName(toQString(definition.name));
        widget->setGeometry(pixelGeometry(definition));
        widget->setAccessibleName(toQString(definition.accessibleName));
        applyColours(definition, *widget);
        widget->setVisible(definition.visible);
        controls_[app::controlIndex(definition.id)] = widget;
        leftTwips_[app::controlIndex(definition.id)] = definition.left;
    }

    const std::vector<app::ControlId> order = app::focusOrder();
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(control(order[i - 1]), control(order[i]));
    }
}

void Controls::setLeft(app::ControlId id, int twips) {
    leftTwips_[app::controlIndex(id)] = twips;
    QWidget* widget = control(id);
    widget->move(twipsToPixels(twips), widget->y());
}

}  // namespace corvalis::qt
