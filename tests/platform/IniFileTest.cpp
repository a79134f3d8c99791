#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace velmora::platform {
namespace {

using test::TempDir;

TEST(ReadProfileString, FollowsTheWindowsProfileRules) {
    TempDir dir;
    const std::string file = dir.Write("velmoraempresa.ini",
                                       "; velmora Empresa\r\n"
                                       "[IniServidor]\r\n"
                                       "nomearquivo=D:\\Srv\\Dados\\velmoraempresa.ini\r\n"
                                       "\r\n"
                                       "  [ Database ]  \r\n"
                                       "Servidor =  srv01  \r\n"
                                       "path=\"D:\\Dados com espaco\\\"\r\n"
                                       "name='ERP.FDB'\r\n"
                                       "SERVIDOR=second\r\n"
                                       ";name=comentado\r\n"
                                       "   ; indented=comment\r\n"
                                       "vazio=\r\n"
                                       "aspas=\"\"\r\n"
                                       "meia=\"aberta\r\n"
                                       "interna=a\"b\"c\r\n"
                                       "mista=\"x'\r\n"
                                       "igual=a=b\r\n"
                                       "semigual\r\n"
                                       "[Outra]\r\n"
                                       "Servidor=outra\r\n"
                                       "[database]\n"   // the same section again, LF line end
                                       "Servidor=third\n"
                                       "porta=3050\n"
                                       "[Fim]");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"IniServidor", "nomearquivo", "D:\\Srv\\Dados\\velmoraempresa.ini"},
        {"INISERVIDOR", "NomeArquivo", "D:\\Srv\\Dados\\velmoraempresa.ini"},   // names ignore case
        {"Database", "Servidor", "srv01"},                                      // trimmed; the first of three wins
        {"Database", "path", "D:\\Dados com espaco\\"},                         // double quotes removed
        {"Database", "name", "ERP.FDB"},                                        // single quotes removed
        {"Database", "vazio", ""},                                              // present but empty: not the default
        {"Database", "aspas", ""},
        {"Database", "meia", "\"aberta"},   // an unmatched quote stays
        {"Database", "interna", "a\"b\"c"},
        {"Database", "mista", "\"x'"},
        {"Database", "igual", "a=b"},            // split at the first "="
        {"Database", "semigual", "(default)"},   // a line without "=" is no key
        {"Database", "indented", "(default)"},
        {";name", "comentado", "(default)"},
        {"Database", "porta", "3050"},   // found in the repeated section
        {"Outra", "Servidor", "outra"},
        {"Fim", "x", "(default)"},
        {"Missing", "Servidor", "(default)"},
        {"Database", "missing", "(default)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadProfileString(file, c.section, c.key, "(default)"), c.expected)
            << "[" << c.section << "] " << c.key;
}

TEST(ReadProfileString, MissingFileGivesTheDefault) {
    TempDir dir;
    EXPECT_EQ(ReadProfileString(dir.str() + "nada.ini", "IniServidor", "nomearquivo", "x"), "x");
    EXPECT_EQ(ReadProfileString(dir.str() + "nada.ini", "IniServidor", "nomearquivo"), "");
    EXPECT_EQ(ReadProfileString(dir.str(), "IniServidor", "nomearquivo", "folder"), "folder");
}

TEST(ReadProfileString, DecodesAnsiAndSkipsTheByteOrderMark) {
    TempDir dir;
    const std::string ansi = dir.Write("ansi.ini", "[Database]\r\npath=C:\\Emiss\xE3o\\\r\n");
    EXPECT_EQ(ReadProfileString(ansi, "Database", "path"), "C:\\Emiss\xC3\xA3o\\");

    // A byte-order mark in front of the first section must not hide it.
    const std::string bom = dir.Write("bom.ini", "\xEF\xBB\xBF[Database]\nname=S\xC3\xA3o.FDB\n");
    EXPECT_EQ(ReadProfileString(bom, "Database", "name"), "S\xC3\xA3o.FDB");
    // Nor in front of a file that is otherwise in the ANSI code page.
    const std::string bomAnsi = dir.Write("bom-ansi.ini", "\xEF\xBB\xBF[Database]\nname=S\xE3o.FDB\n");
    EXPECT_EQ(ReadProfileString(bomAnsi, "Database", "name"), "S\xC3\xA3o.FDB");
}

// The bytes of UTF-16 text as Notepad saves it ("Unicode" is little endian,
// "Unicode big endian" the other), byte-order mark first.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(ReadProfileString, ReadsEveryEncodingAnEditorSaves) {
    // The same settings in each encoding; the profile rules (case-blind
    // names, trimming, quotes, comments, the first key wins) apply alike.
    const std::u16string text = u"; configura\u00E7\u00E3o\r\n"
                                u"[Database]\r\n"
                                u"  Path = \"C:\\Emiss\u00E3o\\\"  \r\n"
                                u";name=comentado\r\n"
                                u"name=ERP.FDB\r\n"
                                u"name=second\r\n"
                                u"[A\u00C7\u00DAcar]\n"
                                u"doce=\U0001F36C\n";
    const std::string utf8 = "; configura\xC3\xA7\xC3\xA3o\r\n[Database]\r\n  Path = \"C:\\Emiss\xC3\xA3o\\\"  \r\n"
                             ";name=comentado\r\nname=ERP.FDB\r\nname=second\r\n[A\xC3\x87\xC3\x9A"
                             "car]\ndoce=\xF0\x9F\x8D\xAC\n";
    const std::string ansi = "; configura\xE7\xE3o\r\n[Database]\r\n  Path = \"C:\\Emiss\xE3o\\\"  \r\n"
                             ";name=comentado\r\nname=ERP.FDB\r\nname=second\r\n[A\xC7\xDA"
                             "car]\ndoce=?\n";
    struct Case {
        const char* encoding;
        std::string bytes;
        const char* sweet;   // what the [Açúcar] value reads as
    } cases[] = {
        {"UTF-16 LE (Notepad's Unicode)", Utf16(text, false), "\xF0\x9F\x8D\xAC"},
        {"UTF-16 BE", Utf16(text, true), "\xF0\x9F\x8D\xAC"},
        {"UTF-8", utf8, "\xF0\x9F\x8D\xAC"},
        {"UTF-8 with byte-order mark", "\xEF\xBB\xBF" + utf8, "\xF0\x9F\x8D\xAC"},
        {"Windows-1252", ansi, "?"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string file = dir.Write("velmoraempresa.ini", c.bytes);
        EXPECT_EQ(ReadProfileString(file, "database", "PATH"), "C:\\Emiss\xC3\xA3o\\") << c.encoding;
        EXPECT_EQ(ReadProfileString(file, "Database", "name"), "ERP.FDB") << c.encoding;
        EXPECT_EQ(ReadProfileString(file,
                                    "a\xC3\xA7\xC3\xBA"
                                    "car",
                                    "doce"),
                  c.sweet)
            << c.encoding;
        EXPECT_EQ(ReadProfileString(file, "Database", "missing", "(default)"), "(default)") << c.encoding;
    }

    // A surrogate without its partner and an odd last byte do not stop the
    // reading of what comes before them.
    const std::string broken = Utf16(u"[S]\r\nk=a\xD800"
                                     u"b\r\n",
                                     false) +
                               "x";
    EXPECT_EQ(ReadProfileString(dir.Write("broken.ini", broken), "S", "k"), "a\xEF\xBF\xBD"
                                                                            "b");
}

}   // namespace
}   // namespace velmora::platform
