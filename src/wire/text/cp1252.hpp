#pragma once

#include <string>
#include <string_view>

// Windows-1252 is the code page of the wire and of the identification file. Inside the core every
// text is UTF-8; these helpers convert at the edges and give the case mapping the client needs.
namespace corvalis::text {

// Every byte has a character: the five bytes Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 controls of the same value, as Windows itself does.
std::string decodeCp1252(std::string_view bytes);

// A character Windows-1252 cannot hold, or a malformed UTF-8 sequence, becomes "?".
std::string encodeCp1252(std::string_view utf8);

// Case mapping over the Windows-1252 repertoire ("Ã" -> "ã", "Š" -> "š", "Ÿ" -> "ÿ"); characters
// without a partner inside that repertoire ("ß", "µ") and all others are left as they are.
std::string toLower(std::string_view utf8);

// The same mapping the other way, for one byte of text already in Windows-1252.
char upperCp1252(char byte);

// Strips leading and trailing space characters (0x20) only, as the identification rules require.
std::string_view trimBlanks(std::string_view text);

}  // namespace corvalis::text
