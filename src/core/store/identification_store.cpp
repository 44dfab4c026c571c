#include "store/identification_store.hpp"

#include <utility>

#include "text/cp1252.hpp"
#include "text/path.hpp"

namespace corvalis::store {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The first line, up to but not including its line end (CR LF, or a lone LF or CR of a file edited
// elsewhere).
std::string_view firstLine(std::string_view content) {
    return content.substr(0, content.find_first_of("\r\n"));
}

}  // namespace

std::string normaliseIdentification(std::string_view text) {
    return text::toLower(text::trimBlanks(text));
}

IdentificationStore::IdentificationStore(ports::FileSystem& files, std::string folder,
                                         ports::View& view)
    : files_(files), folder_(std::move(folder)), view_(view) {}

std::string IdentificationStore::filePath() const {
    return text::joinPath(folder_, kIdentificationFileName);
}

void IdentificationStore::tratarIni(bool read) {
    if (read) {
        readIntoBox();
    } else {
        writeFromBox();
    }
}

void IdentificationStore::readIntoBox() {
    const auto content = files_.readOrCreate(filePath(), kMaxFileBytesRead);
    if (!content) {
        view_.showMessage(kStoreFailureMessage);
        return;
    }
    // An empty file means nothing is saved, and the box keeps what it holds.
    if (content->empty()) {
        return;
    }
    view_.setIdentification(text::decodeCp1252(firstLine(*content)));
}

void IdentificationStore::writeFromBox() {
    std::string bytes = text::encodeCp1252(normaliseIdentification(view_.identification()));
    bytes.append(kLineEnd);
    if (!files_.replace(filePath(), bytes)) {
        view_.showMessage(kStoreFailureMessage);
    }
}

}  // namespace corvalis::store
