#pragma once

#include <QString>

class QWidget;

namespace corvalis::qt {

// Asks screen readers to speak a new status politely, wherever the focus is, on behalf of the
// label that shows it. Only Qt 6.8 and later can ask; before it, a screen reader learns of the
// status only from the label's accessible name, which follows its text.
void announceStatus(QWidget& label, const QString& status);

}  // namespace corvalis::qt
