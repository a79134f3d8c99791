// The small pieces every processor relies on: text functions, date-time
// conversion, SQL values, the MDF-e test, the folder tree and the walk's list.
#include <gtest/gtest.h>

#include <fstream>

#include "processors/FileList.h"
#include "processors/LeituraXml.h"
#include "processors/Numeros.h"
#include "processors/Passagem.h"
#include "processors/ValoresSql.h"
#include "db/Sql.h"
#include "processors/Pastas.h"
#include "tests/support/TempDir.h"

namespace velmora {
namespace {

TEST(TextFunctions, ZerosEsquerda) {
    struct Case {
        std::string value;
        int width;
        std::string expected;
    } cases[] = {
        {"123", 15, "000000000000123"}, {"  42  ", 5, "00042"}, {"", 3, "000"},
        {"1234567", 5, "34567"},        {"\t7\r\n", 2, "07"},   {"0042", 15, "000000000000042"},
    };
    for (const auto& c : cases) EXPECT_EQ(ZerosEsquerda(c.value, c.width), c.expected) << c.value;
}

TEST(TextFunctions, Replica) {
    EXPECT_EQ(Replica("0", 3), "000");
    EXPECT_EQ(Replica("ab", 2), "abab");
    EXPECT_EQ(Replica("0", 0), "");
    EXPECT_EQ(Replica("0", -2), "");
}

TEST(TextFunctions, ConverteDataHora) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"2015-03-10T14:25:30-03:00", "10.03.2015 14:25:30"},
        {"2019-05-10T14:23:11+01:00", "10.05.2019 14:23:11"},   // the offset is dropped, not applied
        {"2015-03-10T14:25:30", "10.03.2015 14:25:30"},
        {"", ".. "},   // the database refuses it later
        {"2015-03-10", "10.03.2015 "},
    };
    for (const auto& c : cases) EXPECT_EQ(ConverteDataHora(c.in), c.out) << c.in;
}

TEST(SqlValues, UnquotedValuesMustBePlainWholeNumbers) {
    EXPECT_EQ(NumeroOuNull(""), "null");
    EXPECT_EQ(NumeroOuNull("135"), "135");
    EXPECT_EQ(NumeroOuNull("001"), "001");
    EXPECT_EQ(NumeroOuNull("-5"), "-5");
    EXPECT_EQ(NumeroComoLido(""), "");
    for (std::string payload : {"1 where 1=1 --", "1;drop table x", "1.5", "-", " 1", "1e3", "0x10", "１"}) {
        EXPECT_THROW(NumeroOuNull(payload), Error) << payload;
        EXPECT_THROW(NumeroComoLido(payload), Error) << payload;
    }
}

TEST(SqlValues, QuotedValuesHaveTheirQuotesDoubled) {
    EXPECT_EQ(db::Literal("MDFe123"), "'MDFe123'");
    EXPECT_EQ(db::Literal("a'b''c"), "'a''b''''c'");
    EXPECT_EQ(LiteralOuNull(""), "null");
    EXPECT_EQ(LiteralOuNull("x'"), "'x'''");
    EXPECT_EQ(db::DobraAspas("10.03.2015 1'"), "10.03.2015 1''");
}

TEST(SqlValues, LotNumberConversion) {
    EXPECT_EQ(TextoParaInteiro("0042"), 42);
    EXPECT_EQ(TextoParaInteiro(" 123 "), 123);
    EXPECT_EQ(TextoParaInteiro("2147483647"), 2147483647);
    for (std::string bad : {"", "abc", "2147483648", "12.5", "1 2", "-"}) {
        EXPECT_THROW(TextoParaInteiro(bad), ConversionError) << bad;
    }
}

TEST(MdfeTest, NameOrFirstLine) {
    test::TempDir dir;
    const std::string ns = "http://www.portalfiscal.inf.br/mdfe";
    // The name decides without opening the file: it need not even exist.
    EXPECT_TRUE(ArquivoEhMDFe(dir.str() + "mdfe-qualquer.err"));
    EXPECT_TRUE(ArquivoEhMDFe(dir.str() + "xMdFe.txt"));
    // A folder name does not count.
    EXPECT_FALSE(ArquivoEhMDFe(dir.str() + "MDFe/123-rec.err"));

    struct Case {
        const char* name;
        std::string content;
        bool passes;
    } cases[] = {
        {"1-rec.xml", "<?xml version=\"1.0\"?><retEnviMDFe xmlns=\"" + ns + "\"><cStat>103</cStat></retEnviMDFe>",
         true},
        {"2-rec.xml", "<?xml version=\"1.0\"?>\r\n<retEnviMDFe xmlns=\"" + ns + "\"/>", false},
        {"3-rec.xml", "<retEnviNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\"/>", false},
        {"4-rec.xml", "<r xmlns=\"HTTP://WWW.PORTALFISCAL.INF.BR/MDFE\"/>", false},   // exact, letter case included
        {"5-sit.err", "Erro " + ns + "\r\nMessage|x", true},
        {"6-sit.err", "", false},
    };
    for (const auto& c : cases) {
        std::string path = dir.Write(c.name, c.content);
        EXPECT_EQ(ArquivoEhMDFe(path), c.passes) << c.name;
    }
    EXPECT_FALSE(ArquivoEhMDFe(dir.str() + "missing-rec.xml"));
}

TEST(ExchangeFolders, MontaCaminhoAndCriaPastas) {
    EXPECT_EQ(MontaCaminho(12, "D:\\MDFe\\", "12345678000199"), "D:\\MDFe\\12345678000199\\Retorno\\OK\\");
    EXPECT_EQ(MontaCaminho(3, "\\", "1"), "\\1\\Retorno\\");
    EXPECT_EQ(MontaCaminho(9, "/srv/mdfe/", "1"), "/srv/mdfe/1\\Enviado\\Autorizados\\");
    EXPECT_THROW(MontaCaminho(7, "D:\\", "1"), Error);

    test::TempDir dir;
    CriaPastas(dir.str(), "12345678000199");
    for (const char* sub : {"Envio", "EnvioEmLote", "Retorno", "Enviado", "Erro", "Validar", "Validar/Validado",
                            "Enviado/Autorizados", "Enviado/Denegados", "Enviado/EmProcessamento", "Retorno/OK"})
        EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "12345678000199" / sub)) << sub;
    // Over a complete tree nothing changes; a root that does not exist is
    // passed over without a word (its parents are never made).
    CriaPastas(dir.str(), "12345678000199");
    CriaPastas(dir.str() + "missing/deeper/", "1");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

TEST(WalkList, NameOrderArrivalsAndSteppingPast) {
    test::TempDir dir;
    dir.Write("b-sit.xml", "");
    dir.Write("A-sit.xml", "");
    dir.Write("c-sit.xml.old", "");
    dir.Write("x-eve.xml", "");
    FileList list;
    list.Start(dir.str(), "*-sit.xml*");
    EXPECT_EQ(list.Next(), "A-sit.xml");
    // A file that arrives during the walk is taken in the same walk, even
    // one whose name sorts before the files already taken.
    dir.Write("0-sit.xml", "");
    EXPECT_EQ(list.Next(), "b-sit.xml");
    EXPECT_EQ(list.Next(), "c-sit.xml.old");
    EXPECT_EQ(list.Next(), "0-sit.xml");
    // Nothing was moved away: every name is stepped past and the walk ends.
    EXPECT_EQ(list.Next(), "");
    EXPECT_EQ(list.Next(), "");

    FileList missing;
    EXPECT_THROW(missing.Start(dir.str() + "nope/", "*"), Error);
}

}   // namespace
}   // namespace velmora
