#include "win32_file_system.hpp"

#include <windows.h>

#include "handles.hpp"
#include "wide_text.hpp"

namespace corvalis::win32 {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

UniqueFile openFile(const std::wstring& path, DWORD access, DWORD disposition) {
    return UniqueFile(CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return FlushFileBuffers(file) != FALSE;
}

bool rewriteInPlace(const std::wstring& path, std::string_view bytes) {
    const UniqueFile file = openFile(path, GENERIC_WRITE, TRUNCATE_EXISTING);
    return file && writeAll(file.get(), bytes);
}

}  // namespace

std::optional<std::string> Win32FileSystem::readOrCreate(const std::string& pathUtf8,
                                                         std::size_t maxBytes) {
    const std::wstring path = toWide(pathUtf8);
    const UniqueFile file = openFile(path, GENERIC_READ, OPEN_EXISTING);
    if (!file) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            return std::nullopt;
        }
        const UniqueFile created = openFile(path, GENERIC_WRITE, CREATE_NEW);
        if (!created) {
            return std::nullopt;
        }
        return std::string{};
    }
    std::string content(maxBytes, '\0');
    std::size_t filled = 0;
    while (filled < maxBytes) {
        DWORD read = 0;
        if (!ReadFile(file.get(), content.data() + filled, static_cast<DWORD>(maxBytes - filled),
                      &read, nullptr)) {
            return std::nullopt;
        }
        if (read == 0) {
            break;
        }
        filled += read;
    }
    content.resize(filled);
    return content;
}

bool Win32FileSystem::replace(const std::string& pathUtf8, std::string_view bytes) {
    const std::wstring path = toWide(pathUtf8);
    const std::wstring temporary = path + L".tmp";
    // A file its user may not write (read-only, or denied) stays as it is: the move below would
    // replace it all the same where Wine runs us. Windows refuses a read-only file to everyone;
    // Wine run by root would not, hence the attribute is looked at as well.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool isFile =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (isFile && ((attributes & FILE_ATTRIBUTE_READONLY) != 0 ||
                   !openFile(path, GENERIC_WRITE, OPEN_EXISTING))) {
        return false;
    }
    {
        const UniqueFile file = openFile(temporary, GENERIC_WRITE, CREATE_ALWAYS);
        if (!file) {
            // The folder takes no new files: the file itself may still be writable.
            return isFile && rewriteInPlace(path, bytes);
        }
        if (!writeAll(file.get(), bytes)) {
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace corvalis::win32
