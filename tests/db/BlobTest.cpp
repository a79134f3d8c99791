// BLOB columns read whole on a real embedded database: the catalogue's
// descriptions (a long column comment) and text and binary BLOBs of a table.
#include <gtest/gtest.h>
#include "db/Database.h"
#include "tests/support/TestDatabase.h"

namespace velmora::test {
namespace {

using db::Query;

// A comment far longer than any fixed text buffer.
std::string LongComment() {
    std::string comment;
    while (comment.size() < 600) comment += "Versao do ERP gravada pela ultima atualizacao do banco; ";
    return comment;
}

TEST(BlobColumns, ACatalogueRowWithALongCommentReadsWhole) {
    TestDatabase erp;
    erp.AddVersionColumns("3.1.0");
    erp.Exec("COMMENT ON COLUMN TAB_PARAMETRO.VERSAO_ERP IS '" + LongComment() + "'");
    erp.Close();

    Session session(erp.Location());
    Query query(session.connection, "qryVersao");
    query.SetSQL(" select r.* from RDB$RELATION_FIELDS r where r.RDB$RELATION_NAME = 'TAB_PARAMETRO'"
                 " and r.RDB$FIELD_NAME = 'VERSAO_ERP'");
    query.Open();
    ASSERT_EQ(query.RecordCount(), 1u);
    EXPECT_EQ(query.FieldByName("RDB$DESCRIPTION").AsString(), LongComment());
    EXPECT_TRUE(query.FieldByName("RDB$DEFAULT_SOURCE").IsNull());   // a null BLOB
    EXPECT_EQ(query.FieldByName("RDB$FIELD_NAME").AsString().substr(0, 10), "VERSAO_ERP");
}

TEST(BlobColumns, TextAndBinaryBlobsOfATable) {
    TestDatabase erp;
    erp.Exec("create table notas (id integer, texto blob sub_type text, dados blob sub_type binary)");
    // 60,000 characters: longer than one segment and than any text column.
    erp.Exec("insert into notas values (1, cast(rpad('', 30000, 'abcdefghij') as blob sub_type text)"
             " || rpad('', 30000, '0123456789'), x'00FF10')");
    erp.Exec("insert into notas values (2, 'S\xE3o Paulo', null)");
    erp.Exec("insert into notas values (3, null, x'')");

    Session session(erp.Location());
    Query query(session.connection, "qryNotas");
    query.SetSQL(" select texto, dados from notas order by id");
    query.Open();
    ASSERT_EQ(query.RecordCount(), 3u);
    std::string expected;
    for (int i = 0; i < 3000; ++i) expected += "abcdefghij";
    for (int i = 0; i < 3000; ++i) expected += "0123456789";
    EXPECT_EQ(query.FieldByName("texto").AsString(), expected);
    EXPECT_EQ(query.FieldByName("dados").AsString(), std::string("\x00\xFF\x10", 3));   // raw bytes
    query.Next();
    EXPECT_EQ(query.FieldByName("texto").AsString(), "S\xC3\xA3o Paulo");
    EXPECT_TRUE(query.FieldByName("dados").IsNull());
    query.Next();
    EXPECT_TRUE(query.FieldByName("texto").IsNull());
    EXPECT_FALSE(query.FieldByName("dados").IsNull());
    EXPECT_EQ(query.FieldByName("dados").AsString(), "");
}

}   // namespace
}   // namespace velmora::test
