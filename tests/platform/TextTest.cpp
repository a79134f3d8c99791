#include "platform/Text.h"

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

TEST(AnsiToUtf8, KeepsUtf8AndReadsEverythingElseAsWindows1252) {
    struct Case {
        std::string bytes, utf8;
    } cases[] = {
        {"Servidor", "Servidor"},
        {"", ""},
        {"S\xC3\xA3o Paulo", "S\xC3\xA3o Paulo"},               // UTF-8 "São" kept
        {"S\xE3o Paulo", "S\xC3\xA3o Paulo"},                   // cp1252 0xE3 'ã'
        {"Emiss\xE3o n\xBA 5", "Emiss\xC3\xA3o n\xC2\xBA 5"},   // 'ã', 'º'
        {"\x80 100", "\xE2\x82\xAC 100"},                       // 0x80 '€'
        {"\x93x\x94 \x96 \x85", "\xE2\x80\x9Cx\xE2\x80\x9D \xE2\x80\x93 \xE2\x80\xA6"},
        {"\x8A\x9F", "\xC5\xA0\xC5\xB8"},                                       // 'Š', 'Ÿ'
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},   // holes of the code page
        {"\xFF", "\xC3\xBF"},
        // One invalid byte makes the whole text cp1252, also its UTF-8-looking part.
        {"\xC3\xA3 \xE3", "\xC3\x83\xC2\xA3 \xC3\xA3"},
        // Not well-formed UTF-8: overlong, surrogate, truncated, above U+10FFFF.
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"a\xC3", "a\xC3\x83"},
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
    };
    for (const auto& c : cases) EXPECT_EQ(AnsiToUtf8(c.bytes), c.utf8) << c.bytes;
}

TEST(IsValidUtf8, AcceptsOnlyWellFormedSequences) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("\xEF\xBB\xBFMDFe"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));   // four bytes
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));   // U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xBF\xBF"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_FALSE(IsValidUtf8("\x80"));              // lone continuation
}

TEST(Utf8Parts, CountCharactersNotBytes) {
    const std::string path = "C:\\Emiss\xC3\xA3o\\Not\xC3\xAD"
                             "cias\\a\xC3\xA7\xC3\xA3o.xml";   // Emissão, Notícias, ação
    EXPECT_EQ(Utf8Length(path), 28u);
    EXPECT_EQ(Utf8Right(path, 8), "a\xC3\xA7\xC3\xA3o.xml");
    EXPECT_EQ(Utf8Right(path, 100), path);
    EXPECT_EQ(Utf8Right(path, 0), "");
    EXPECT_EQ(Utf8Left(path, 10), "C:\\Emiss\xC3\xA3o");
    EXPECT_EQ(Utf8Left(path, 100), path);
    EXPECT_EQ(Utf8Mid(path, 4, 6), "Emiss\xC3\xA3");
    EXPECT_EQ(Utf8Mid(path, 27, 5), "ml");   // clipped at the end
    EXPECT_EQ(Utf8Mid(path, 29, 2), "");     // past the end
    EXPECT_EQ(Utf8Mid(path, 0, 2), "C:");    // a start before 1 starts at 1
}

TEST(Utf8Parts, CutTheMdfeDateTimeByPosition) {
    // The positions the date-time conversion takes from an MDF-e value.
    const std::string value = "2015-03-10T14:25:30-03:00";
    EXPECT_EQ(Utf8Mid(value, 9, 2) + "." + Utf8Mid(value, 6, 2) + "." + Utf8Mid(value, 1, 4) + " " +
                  Utf8Mid(value, 12, 8),
              "10.03.2015 14:25:30");
    EXPECT_EQ(Utf8Mid("", 9, 2) + "." + Utf8Mid("", 12, 8), ".");
}

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(Trim("  42 \t"), "42");
    EXPECT_EQ(Trim("\r\n\x01 a b \x1F"), "a b");
    EXPECT_EQ(Trim(" \t\r\n"), "");
    EXPECT_EQ(Trim("S\xC3\xA3o\xC2\xA0"), "S\xC3\xA3o\xC2\xA0");   // no-break space is not <= 0x20 byte-wise
    EXPECT_EQ(UpperAscii("mdfe-\xC3\xA3o.xml"), "MDFE-\xC3\xA3O.XML");
}

TEST(IgnoringCase, FoldsAsciiAndLatinLettersOnly) {
    EXPECT_TRUE(EqualsIgnoreCase("velmoraEmpresa.exe", "VELMORAEMPRESA.EXE"));
    EXPECT_TRUE(EqualsIgnoreCase("A\xC3\x87\xC3\x83O", "a\xC3\xA7\xC3\xA3o"));   // AÇÃO / ação
    EXPECT_FALSE(EqualsIgnoreCase("\xC3\x97", "\xC3\xB7"));                      // × is not ÷
    EXPECT_FALSE(EqualsIgnoreCase("a", "a "));
    EXPECT_FALSE(EqualsIgnoreCase("\xE3", "\xC3\xA3"));   // a stray byte never equals a letter
    EXPECT_LT(CompareIgnoreCase("abc", "ABD"), 0);
    EXPECT_GT(CompareIgnoreCase("B", "a"), 0);
    EXPECT_EQ(CompareIgnoreCase("MDFe1", "mdfe1"), 0);
}

}   // namespace
}   // namespace velmora::platform
