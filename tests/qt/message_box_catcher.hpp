#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

namespace corvalis::qt::testing {

struct ShownMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QList<QAbstractButton*>::size_type buttonCount;
    Qt::TextFormat textFormat;
    bool applicationModal;
    bool windowVisible;  // whether the box's parent window was on screen while it showed
};

// Answers every message box that opens while it lives by pressing OK, after noting what it showed,
// so that tests see the real boxes without blocking on them.
class MessageBoxCatcher final : public QObject {
public:
    MessageBoxCatcher();

    [[nodiscard]] const QList<ShownMessage>& messages() const { return messages_; }
    [[nodiscard]] QStringList texts() const;

private:
    void closeOpenBox();

    QTimer poll_;
    QList<ShownMessage> messages_;
};

}  // namespace corvalis::qt::testing
