#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ports/file_system.hpp"
#include "ports/view.hpp"

namespace corvalis::store {

inline constexpr std::string_view kIdentificationFileName = "pelmark.ini";
inline constexpr std::string_view kStoreFailureMessage =
    "Ocorreu erro no procedimento 'tratarIni'.";
// Only the first line is used; an identification is never anywhere near this long.
inline constexpr std::size_t kMaxFileBytesRead = std::size_t{1024} * 1024;

// The last identification used, one Windows-1252 line ended by CR LF in "pelmark.ini" in the given
// folder (beside the program unless the front end keeps it per user). It moves the text between
// that file and the identification box of the window.
class IdentificationStore {
public:
    IdentificationStore(ports::FileSystem& files, std::string folder, ports::View& view);

    // read = true fills the box from the file; read = false saves the box, lower case and without
    // outer blanks. Failures are reported in a message box, never to the caller.
    void tratarIni(bool read);

    [[nodiscard]] std::string filePath() const;

private:
    void readIntoBox();
    void writeFromBox();

    ports::FileSystem& files_;
    std::string folder_;
    ports::View& view_;
};

// The identification rules: lower case, blanks stripped from both ends.
[[nodiscard]] std::string normaliseIdentification(std::string_view text);

}  // namespace corvalis::store
