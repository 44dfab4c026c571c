// Stands in for mstsc.exe: writes the command line it was started with, a newline and the show
// command it was given, as UTF-16LE, to the file that CORVALIS_RECORD_COMMAND_LINE names (the tests
// that start it always set it). It writes beside the target and renames, so a reader never sees
// half a record.
#include <windows.h>

#include <fstream>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int shown) {
    const std::wstring target = _wgetenv(L"CORVALIS_RECORD_COMMAND_LINE");
    const std::wstring record = GetCommandLineW() + (L"\n" + std::to_wstring(shown));
    std::ofstream((target + L".part").c_str(), std::ios::binary)
        .write(reinterpret_cast<const char*>(record.data()), record.size() * sizeof(wchar_t));
    return !MoveFileExW((target + L".part").c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}
