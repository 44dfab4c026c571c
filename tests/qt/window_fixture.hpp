#pragma once

#include <QByteArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <optional>
#include <utility>

#include "control_server_double.hpp"
#include "main_window.hpp"
#include "message_box_catcher.hpp"

namespace corvalis::qt::testing {

// Short enough that no test waits long, long enough for a loopback round trip under sanitizers.
inline constexpr std::chrono::milliseconds kShortTimeout{200};
// The bound of every wait for something that should happen.
inline constexpr std::chrono::milliseconds kPatience{5000};
// The QTRY_* macros take plain milliseconds.
inline constexpr int kPatienceMs = static_cast<int>(kPatience.count());
// Long enough for a stray connection, message box or process to show itself if one were coming.
inline constexpr std::chrono::milliseconds kSettle{200};

// Expected values in pixels (twips / 15), written out so that a wrong table or conversion shows.
inline constexpr QPoint kRedLightPosition{120, 181};
inline constexpr QPoint kGreenLightStartPosition{40, 181};

[[nodiscard]] QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// Runs the event loop for that long.
void wait(std::chrono::milliseconds duration);
// Types into the widget one key at a time.
void typeText(QWidget* widget, const QString& text);

// The real window in a temporary application folder, talking to a control server double, with
// every message box noted and answered.
class WindowFixture {
public:
    explicit WindowFixture(std::chrono::milliseconds timeout = kShortTimeout);

    // Creates the window, runs its load step and shows it, as main() does.
    void open();

    [[nodiscard]] QString folderPath() const { return folder_.path(); }
    [[nodiscard]] QString iniPath() const {
        return folder_.filePath(QStringLiteral("pelmark.ini"));
    }
    void setApplicationFolder(const QString& path) { applicationFolder_ = path; }
    // Another control server in place of the double.
    void setControlServer(corvalis::link::Endpoint endpoint) {
        controlServer_ = std::move(endpoint);
    }

    [[nodiscard]] MainWindow& window() { return *window_; }
    [[nodiscard]] QLabel* label(const char* name) const;
    [[nodiscard]] QPushButton* button(const char* name) const;
    [[nodiscard]] QLineEdit* identInst() const;
    [[nodiscard]] QString status() const;
    [[nodiscard]] QLabel* redLight() const { return label("sinalVermelho"); }
    [[nodiscard]] QLabel* greenLight() const { return label("sinalVerde"); }

    // Types the identification over what the box holds and clicks Conectar, as a user would.
    void connectAs(const QString& identification);

    ControlServerDouble server;
    MessageBoxCatcher messageBoxes;

private:
    std::chrono::milliseconds timeout_;
    QTemporaryDir folder_;
    QString applicationFolder_;
    std::optional<corvalis::link::Endpoint> controlServer_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace corvalis::qt::testing
