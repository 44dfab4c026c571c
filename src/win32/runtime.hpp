#pragma once

#include <windows.h>

#include <string>

namespace corvalis::win32 {

// What the process needs before the window exists: Winsock 2.2, a COM apartment for the picture
// loader, and the common controls. Undone in reverse order.
class Runtime {
public:
    Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;
    ~Runtime();

    [[nodiscard]] bool ready() const { return winsockStarted_; }

private:
    bool winsockStarted_ = false;
    bool comStarted_ = false;
};

// The folder that holds the running executable.
[[nodiscard]] std::string applicationFolder();  // UTF-8

// Runs the message loop until WM_QUIT; keyboard navigation goes through IsDialogMessageW.
int runMessageLoop(HWND window);

}  // namespace corvalis::win32
