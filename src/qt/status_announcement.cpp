#include "status_announcement.hpp"

#include <QAccessible>
#include <QWidget>

namespace corvalis::qt {

void announceStatus(QWidget& label, const QString& status) {
    QAccessibleAnnouncementEvent announcement(&label, status);
    announcement.setPoliteness(QAccessible::AnnouncementPoliteness::Polite);
    QAccessible::updateAccessibility(&announcement);
}

}  // namespace corvalis::qt
