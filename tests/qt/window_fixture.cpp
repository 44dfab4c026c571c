#include "window_fixture.hpp"

#include <QFile>
#include <QTest>

namespace corvalis::qt::testing {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

WindowFixture::WindowFixture(std::chrono::milliseconds timeout)
    : timeout_(timeout), applicationFolder_(folder_.path()) {}

void WindowFixture::open() {
    window_ = std::make_unique<MainWindow>(
        std::filesystem::path(applicationFolder_.toStdU16String()), server.endpoint(), timeout_);
    window_->start();
}

QLabel* WindowFixture::label(const char* name) const {
    return window_->findChild<QLabel*>(QString::fromLatin1(name));
}

QPushButton* WindowFixture::button(const char* name) const {
    return window_->findChild<QPushButton*>(QString::fromLatin1(name));
}

QLineEdit* WindowFixture::identInst() const {
    return window_->findChild<QLineEdit*>(QStringLiteral("IdentInst"));
}

QString WindowFixture::status() const {
    return label("Aviso")->text();
}

void WindowFixture::connectAs(const QString& identification) {
    identInst()->clear();
    QTest::keyClicks(identInst(), identification);
    QTest::mouseClick(button("Conectar"), Qt::LeftButton);
}

}  // namespace corvalis::qt::testing
