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
                                       "[database]\n"  // the same section again, LF line end
                                       "Servidor=third\n"
                                       "porta=3050\n"
                                       "[Fim]");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"IniServidor", "nomearquivo", "D:\\Srv\\Dados\\velmoraempresa.ini"},
        {"INISERVIDOR", "NomeArquivo", "D:\\Srv\\Dados\\velmoraempresa.ini"},  // names ignore case
        {"Database", "Servidor", "srv01"},                   // trimmed; the first of three wins
        {"Database", "path", "D:\\Dados com espaco\\"},      // double quotes removed
        {"Database", "name", "ERP.FDB"},                      // single quotes removed
        {"Database", "vazio", ""},                            // present but empty: not the default
        {"Database", "aspas", ""},
        {"Database", "meia", "\"aberta"},                     // an unmatched quote stays
        {"Database", "interna", "a\"b\"c"},
        {"Database", "mista", "\"x'"},
        {"Database", "igual", "a=b"},                         // split at the first "="
        {"Database", "semigual", "(default)"},                // a line without "=" is no key
        {"Database", "indented", "(default)"},
        {";name", "comentado", "(default)"},
        {"Database", "porta", "3050"},                        // found in the repeated section
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

} // namespace
} // namespace velmora::platform
