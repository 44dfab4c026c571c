#include <windows.h>

#include "link/control_server.hpp"
#include "main_window.hpp"
#include "runtime.hpp"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    const corvalis::win32::Runtime runtime;
    if (!runtime.ready()) {
        return 1;
    }
    corvalis::win32::MainWindow frmCv(
        {corvalis::win32::applicationFolder(), corvalis::link::controlServerFromEnvironment()});
    if (!frmCv.create(showCommand)) {
        return 1;
    }
    return corvalis::win32::runMessageLoop(frmCv.window());
}
