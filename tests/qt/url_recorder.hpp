#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

namespace corvalis::qt::testing {

// Takes the place of the browser for http URLs while it lives, noting each URL opened.
class UrlRecorder final : public QObject {
    Q_OBJECT

public:
    UrlRecorder();
    ~UrlRecorder() override;

    [[nodiscard]] const QStringList& urls() const { return urls_; }

public slots:
    void open(const QUrl& url);

private:
    QStringList urls_;
};

}  // namespace corvalis::qt::testing
