// Stands in for mstsc.exe and for the browser: writes the command line it was started with, as
// UTF-16LE, then a NUL and the show command it was given, to the file that
// CORVALIS_RECORD_COMMAND_LINE names. It writes beside the target and renames, so a reader never
// sees half a record.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring target(32768, L'\0');
    target.resize(GetEnvironmentVariableW(L"CORVALIS_RECORD_COMMAND_LINE", target.data(),
                                          static_cast<DWORD>(target.size())));
    if (target.empty()) {
        return 1;
    }
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    const int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
    std::wstring record = GetCommandLineW();
    record += L'\0';
    record += std::to_wstring(shown);

    const std::wstring partial = target + L".part";
    const HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)),
                  &written, nullptr);
    CloseHandle(file);
    return wrote && MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
