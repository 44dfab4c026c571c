// Stands in for mstsc.exe: writes the command line it was started with, a newline and the show
// command it was given, as UTF-16LE, to mstsc.exe.record beside itself, so the record shows which
// copy was started. It writes beside the target and renames, so a reader never sees half a record.
#include <windows.h>

#include <fstream>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int shown) {
    const std::wstring target = _wpgmptr + std::wstring(L".record");
    const std::wstring record = GetCommandLineW() + (L"\n" + std::to_wstring(shown));
    std::ofstream((target + L".part").c_str(), std::ios::binary)
        .write(reinterpret_cast<const char*>(record.data()), record.size() * sizeof(wchar_t));
    return !MoveFileExW((target + L".part").c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}
