#include "window_fixture.hpp"

#include <QDir>
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

void wait(std::chrono::milliseconds duration) {
    QTest::qWait(static_cast<int>(duration.count()));
}

void typeText(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        // QTest knows keys for Latin-1 only; other characters arrive as text, as from an input
        // method.
        if (character.unicode() < 0x80) {
            QTest::keyClick(widget, character.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
        }
    }
}

WindowFixture::WindowFixture(std::chrono::milliseconds timeout)
    : timeout_(timeout),
      // A blank in the folder's name, as in many a Windows program folder.
      folder_(QDir::tempPath() + QStringLiteral("/corvalis pasta-XXXXXX")),
      applicationFolder_(folder_.path()) {}

void WindowFixture::open() {
    window_ =
        std::make_unique<MainWindow>(QDir::toNativeSeparators(applicationFolder_).toStdString(),
                                     controlServer_.value_or(server.endpoint()), timeout_);
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
    typeText(identInst(), identification);
    QTest::mouseClick(button("Conectar"), Qt::LeftButton);
}

}  // namespace corvalis::qt::testing
