#include "runtime.hpp"

#include <commctrl.h>
#include <objbase.h>
#include <winsock2.h>

#include <string>

#include "wide_text.hpp"

namespace corvalis::win32 {

Runtime::Runtime() {
    WSADATA data{};
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    comStarted_ =
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

Runtime::~Runtime() {
    if (comStarted_) {
        CoUninitialize();
    }
    if (winsockStarted_) {
        WSACleanup();
    }
}

std::string applicationFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    // The folder is everything before the last separator of the program's own path.
    const std::size_t separator = path.find_last_of(L'\\');
    path.resize(separator == std::wstring::npos ? 0 : separator);
    return toUtf8(path);
}

int runMessageLoop(HWND window) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace corvalis::win32
