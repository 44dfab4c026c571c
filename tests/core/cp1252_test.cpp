#include <gtest/gtest.h>

#include "text/cp1252.hpp"

namespace corvalis::text {
namespace {

TEST(Cp1252, TheCodePageTable) {
    // 0x80-0x9F as Windows has them; the five unassigned bytes stay the C1 controls they are.
    EXPECT_EQ(decodeCp1252("\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
                           "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F"),
              "€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ");
    // ASCII and Latin-1 keep their code points.
    for (int byte = 0; byte < 256; byte += byte == 0x7F ? 0x21 : 1) {
        const auto utf8 = byte < 0x80 ? std::string(1, static_cast<char>(byte))
                                      : std::string({static_cast<char>(0xC0 | (byte >> 6)),
                                                     static_cast<char>(0x80 | (byte & 0x3F))});
        EXPECT_EQ(decodeCp1252(std::string(1, static_cast<char>(byte))), utf8) << byte;
    }
}

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        EXPECT_EQ(encodeCp1252(decodeCp1252(one)), one) << byte;
    }
}

TEST(Cp1252, OutsideThePageOrMalformedBecomesQuestionMarks) {
    EXPECT_EQ(encodeCp1252("日本 ok"), "?? ok");
    EXPECT_EQ(encodeCp1252("😀Ā\u0080"), "???");
    EXPECT_EQ(encodeCp1252("\xC3"), "?");
    EXPECT_EQ(encodeCp1252("a\xE2\x82"), "a??");
    EXPECT_EQ(encodeCp1252("\xC3("), "?(");
    EXPECT_EQ(encodeCp1252("\xC0\xAF"), "??");  // overlong
    EXPECT_EQ(encodeCp1252("\xE0\x80\xAF"), "???");
    EXPECT_EQ(encodeCp1252("\xF0\x80\x80\xAF"), "????");
    EXPECT_EQ(encodeCp1252("\xED\xA0\x80"), "???");       // surrogate
    EXPECT_EQ(encodeCp1252("\xF4\x90\x80\x80"), "????");  // past U+10FFFF
}

TEST(Cp1252, LowerCaseAndTrimOfTheIdentification) {
    EXPECT_EQ(toLower("ÀÇÃO ŠŒŽŸ ßµ×÷"), "àção šœžÿ ßµ×÷");
    EXPECT_EQ(std::string(1, upperCp1252('\xE0')) + upperCp1252('\xFF') + upperCp1252('\xF7'),
              "\xC0\x9F\xF7");
    // Characters outside the page pass through whole, at every UTF-8 length and edge.
    EXPECT_EQ(toLower("\xC2\x80\xE0\xA0\x80😀\xF4\x8F\xBF\xBF"),
              "\xC2\x80\xE0\xA0\x80😀\xF4\x8F\xBF\xBF");
    EXPECT_EQ(toLower("\x80"), "?");
    EXPECT_EQ(trimBlanks("\ta\t"), "\ta\t");  // only blanks are trimmed, not tabs
}

}  // namespace
}  // namespace corvalis::text
