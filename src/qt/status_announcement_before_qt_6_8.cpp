#include "status_announcement.hpp"

namespace corvalis::qt {

// This Qt has no announcement event to send.
void announceStatus(QWidget&, const QString&) {}

}  // namespace corvalis::qt
