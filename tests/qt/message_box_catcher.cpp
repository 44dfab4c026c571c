#include "message_box_catcher.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <chrono>

namespace corvalis::qt::testing {
namespace {

constexpr std::chrono::milliseconds kPollInterval{5};

}  // namespace

MessageBoxCatcher::MessageBoxCatcher() {
    connect(&poll_, &QTimer::timeout, this, &MessageBoxCatcher::closeOpenBox);
    poll_.start(kPollInterval);
}

QStringList MessageBoxCatcher::texts() const {
    QStringList texts;
    for (const ShownMessage& message : messages_) {
        texts << message.text;
    }
    return texts;
}

void MessageBoxCatcher::closeOpenBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
        return;
    }
    const QWidget* window = box->parentWidget();
    messages_.append({box->windowTitle(), box->text(), box->icon(), box->buttons().size(),
                      box->textFormat(), box->windowModality() == Qt::ApplicationModal,
                      window != nullptr && window->isVisible()});
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
        ok->click();
    } else {
        box->done(0);
    }
}

}  // namespace corvalis::qt::testing
