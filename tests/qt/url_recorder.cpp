#include "url_recorder.hpp"

#include <QDesktopServices>

namespace corvalis::qt::testing {

UrlRecorder::UrlRecorder() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
}

UrlRecorder::~UrlRecorder() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void UrlRecorder::open(const QUrl& url) {
    urls_ << url.toString(QUrl::FullyEncoded);
}

}  // namespace corvalis::qt::testing
