#include <gtest/gtest.h>

#include "text/cp1252.hpp"

namespace corvalis::text {
namespace {

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        EXPECT_EQ(encodeCp1252(decodeCp1252(one)), one) << byte;
    }
}

TEST(Cp1252, OutsideThePageOrMalformedBecomesQuestionMarks) {
    EXPECT_EQ(encodeCp1252("日本 ok"), "?? ok");
    EXPECT_EQ(encodeCp1252("😀Ā"), "??");
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
    EXPECT_EQ(toLower("AÇÃO ŠŒŽŸ ßµ×÷"), "ação šœžÿ ßµ×÷");
    // Characters outside the page pass through whole, at every UTF-8 length and edge.
    EXPECT_EQ(toLower("\xC2\x80\xE0\xA0\x80😀\xF4\x8F\xBF\xBF"),
              "\xC2\x80\xE0\xA0\x80😀\xF4\x8F\xBF\xBF");
    EXPECT_EQ(toLower("\x80"), "?");
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(trimBlanks("\ta\t"), "\ta\t");
}

}  // namespace
}  // namespace corvalis::text
