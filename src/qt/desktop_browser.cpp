#include "desktop_browser.hpp"

#include <QDesktopServices>
#include <QUrl>

#include "qt_text.hpp"

namespace corvalis::qt {

void DesktopBrowser::open(std::string_view url) {
    // The outcome is not examined: a browser that fails to open stays silent.
    QDesktopServices::openUrl(QUrl(toQString(url)));
}

}  // namespace corvalis::qt
