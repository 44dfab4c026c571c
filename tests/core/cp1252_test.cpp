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

TEST(Cp1252, CharactersOutsideThePageBecomeQuestionMarks) {
    EXPECT_EQ(encodeCp1252("日本 ok"), "?? ok");
    EXPECT_EQ(encodeCp1252("😀"), "?");
    EXPECT_EQ(encodeCp1252("Ā"), "?");
}

TEST(Cp1252, MalformedUtf8NeverReadsPastTheEnd) {
    EXPECT_EQ(encodeCp1252("\xC3"), "?");
    EXPECT_EQ(encodeCp1252("a\xE2\x82"), "a??");
    EXPECT_EQ(encodeCp1252("\xC0\xAF"), "??");            // overlong
    EXPECT_EQ(encodeCp1252("\xED\xA0\x80"), "???");       // surrogate
    EXPECT_EQ(encodeCp1252("\xF4\x90\x80\x80"), "????");  // past U+10FFFF
    EXPECT_EQ(toUpper("\xFF"), "?");
}

TEST(Cp1252, CaseMappingOfTheIdentificationAndTheRefusal) {
    EXPECT_EQ(toUpper("não"), "NÃO");
    EXPECT_EQ(toLower("AÇÃO ŠŒŽŸ"), "ação šœžÿ");
    EXPECT_EQ(toUpper("ação šœžÿ"), "AÇÃO ŠŒŽŸ");
    // No partner inside the page: left alone.
    EXPECT_EQ(toUpper("ßµ×÷"), "ßµ×÷");
    EXPECT_EQ(toLower("ßµ×÷"), "ßµ×÷");
    EXPECT_EQ(upperCp1252('\xE3'), '\xC3');
    EXPECT_EQ(lowerCp1252('\x9F'), '\xFF');
}

TEST(Cp1252, TrimStripsSpacesOnly) {
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(trimBlanks("\ta\t"), "\ta\t");
}

}  // namespace
}  // namespace corvalis::text
