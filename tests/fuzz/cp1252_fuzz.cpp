// Windows-1252 decode, encode and case mapping on any bytes.
#include <algorithm>

#include "text/cp1252.hpp"

using namespace corvalis::text;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = decodeCp1252(bytes);
    const std::string lower = toLower(utf8);
    std::string upper(bytes);
    std::transform(upper.begin(), upper.end(), upper.begin(), upperCp1252);
    // Every byte survives the round trip; lower case keeps the length in characters, is stable and
    // agrees with the byte-wise upper case of the refusal check; the bytes taken as (mostly
    // malformed) UTF-8 keep their length in characters too.
    const bool ok = encodeCp1252(utf8) == bytes && encodeCp1252(lower).size() == size &&
                    toLower(lower) == lower && toLower(decodeCp1252(upper)) == lower &&
                    encodeCp1252(toLower(bytes)).size() == encodeCp1252(bytes).size();
    return ok ? 0 : (__builtin_trap(), 0);
}
