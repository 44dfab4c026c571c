// Stands in for mstsc.exe and for the browser: writes the command line it was started with, a
// newline and the show command it was given, as UTF-16LE, to the file that
// CORVALIS_RECORD_COMMAND_LINE names. It writes beside the target and renames, so a reader never
// sees half a record.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const wchar_t* target = _wgetenv(L"CORVALIS_RECORD_COMMAND_LINE");
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    const int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
    const std::wstring record = GetCommandLineW() + (L"\n" + std::to_wstring(shown));
    const std::wstring partial = std::wstring(target ? target : L"") + L".part";
    FILE* file = target ? _wfopen(partial.c_str(), L"wb") : nullptr;
    if (file == nullptr) {
        return 1;
    }
    fwrite(record.data(), sizeof(wchar_t), record.size(), file);
    const bool closed = fclose(file) == 0;
    return closed && MoveFileExW(partial.c_str(), target, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
