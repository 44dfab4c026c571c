#pragma once

#include <windows.h>

#include <chrono>
#include <memory>

#include "app/frm_cv.hpp"
#include "base_window.hpp"
#include "controls.hpp"
#include "live_region.hpp"
#include "win32_file_system.hpp"
#include "win32_launchers.hpp"
#include "window_timer.hpp"
#include "winsock_socket.hpp"

namespace corvalis::win32 {

struct MainWindowOptions {
    std::string applicationFolder;  // UTF-8
    link::Endpoint controlServer;
    std::chrono::milliseconds timeout = link::kDefaultTimeout;
};

// frmCV: the View over the controls drawn from the core's control table, and the handlers of the
// window's own messages, which pass its controls' events on to FrmCv. Winsock1, Timer1 and the
// shell report to FrmCv straight.
class MainWindow final : public BaseWindow<MainWindow>, private ports::View {
public:
    explicit MainWindow(MainWindowOptions options);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow() override;

    // Creates the window hidden, runs its load step, then shows it with the focus on the first
    // control of the focus order.
    [[nodiscard]] bool create(int showCommand);

    [[nodiscard]] HWND control(app::ControlId id) const { return controls_.control(id); }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend class BaseWindow<MainWindow>;

    // ports::View
    void setCaption(std::string_view text) override;
    void setStatus(std::string_view text) override;
    void setLightVisible(ports::Light light, bool visible) override;
    [[nodiscard]] bool isLightVisible(ports::Light light) const override;
    [[nodiscard]] int lightLeft(ports::Light light) const override;
    void setLightLeft(ports::Light light, int twips) override;
    [[nodiscard]] std::string identification() const override;
    void setIdentification(std::string_view text) override;
    void setFocus(app::ControlId control) override;
    void showMessage(std::string_view text) override;

    LRESULT onCreate();
    void onCommand(int id, int notification);
    void onDpiChanged(int dpi, const RECT& suggested);
    LRESULT onGetDefaultId();
    void onActivate(WORD state);
    void onDestroy();

    static LRESULT CALLBACK identInstProcedure(HWND edit, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR subclassId, DWORD_PTR self);
    LRESULT onIdentInstGetDlgCode(HWND edit, WPARAM key, LPARAM message);
    LRESULT onIdentInstChar(HWND edit, WPARAM code, LPARAM flags);

    void centre();

    MainWindowOptions options_;
    HINSTANCE instance_;
    Controls controls_;
    HWND focusBeforeDeactivation_ = nullptr;
    WinsockSocket socket_;
    WindowTimer timer_;
    std::unique_ptr<LiveRegion> status_;
    Win32FileSystem files_;
    Win32ProcessStarter processStarter_;
    std::unique_ptr<ShellBrowser> browser_;
    std::unique_ptr<app::FrmCv> frm_;
};

}  // namespace corvalis::win32
