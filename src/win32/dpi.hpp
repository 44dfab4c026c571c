#pragma once

#include <windows.h>

namespace corvalis::win32 {

inline constexpr int kDefaultDpi = 96;

// The window's own DPI where Windows tells it (Windows 10 1607 and later), the system DPI
// otherwise.
[[nodiscard]] int windowDpi(HWND window);

// The outer size for a client area at the given DPI.
[[nodiscard]] SIZE windowSizeForClient(SIZE client, DWORD style, DWORD exStyle, int dpi);

}  // namespace corvalis::win32
