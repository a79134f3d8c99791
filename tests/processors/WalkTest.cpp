// The walk every processor shares, through a real company pass: order,
// files arriving or vanishing mid-walk, files it must leave behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/Engine.h"
#include "tools/transmissor/Documentos.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
namespace tx = transmissor;
using test::EngineTest;

const std::string kCnpj = "12345678000199";

using Walk = EngineTest;

TEST_F(Walk, NameOrderLabelAndArrivals) {
    Drop(kCnpj, "MDFeB-sit.err", "x");
    Drop(kCnpj, "mdfea-sit.err", "x");
    // While the first question waits, the transmitter drops another file.
    ui.AtQuestion([&] { Drop(kCnpj, "MDFe0-sit.err", "x"); });
    RunPass(kCnpj);
    EXPECT_EQ(ui.fileNames, (std::vector<std::string>{"mdfea-sit.err", "", "MDFeB-sit.err", "", "MDFe0-sit.err", ""}));
    EXPECT_EQ(ui.questions.size(), 3u);
    EXPECT_EQ(m->contadores().iConsultasMDFeErro, 3);
    for (auto name : {"MDFeB-sit.err", "mdfea-sit.err", "MDFe0-sit.err"}) EXPECT_EQ(WhereIs(kCnpj, name), "Erro");
    EXPECT_EQ(ui.fileName, "");
}

TEST_F(Walk, FilesItLeavesBehindAreSteppedPast) {
    const std::string ns = tx::kNamespace;
    // Fails the MDF-e test: the namespace is not on the first line.
    Drop(kCnpj, "1-sit.err", "Versão UniNFe|5\r\nMessage|" + ns + "\r\n");
    // Passes: the namespace on the first line.
    Drop(kCnpj, "2-sit.err", "Message|" + ns + "\r\n");
    // Gone before its turn: removed while the first question waits.
    Drop(kCnpj, "3-sit.err", "Message|" + ns + "\r\n");
    ui.AtQuestion([&] { fs::remove(Retorno(kCnpj) + "3-sit.err"); });
    RunPass(kCnpj);
    EXPECT_EQ(WhereIs(kCnpj, "1-sit.err"), "Retorno");
    EXPECT_EQ(WhereIs(kCnpj, "2-sit.err"), "Erro");
    EXPECT_EQ(WhereIs(kCnpj, "3-sit.err"), "");
    EXPECT_EQ(m->contadores().iConsultasMDFeErro, 1);
    EXPECT_EQ(ui.fileNames, (std::vector<std::string>{"2-sit.err", ""}));
}

TEST_F(Walk, AFileThatCannotBeMovedStaysAndTheWalkEnds) {
    Drop(kCnpj, "MDFe1-eve.err", "x");
    Drop(kCnpj, "MDFe2-eve.err", "x");
    // "\Erro\" cannot take files: something else stands at its name.
    fs::remove_all(Folder(kCnpj, "Erro"));
    db.Dir().Write("mdfe/" + kCnpj + "/Erro", "not a folder");
    RunPass(kCnpj);
    EXPECT_EQ(WhereIs(kCnpj, "MDFe1-eve.err"), "Retorno");
    EXPECT_EQ(WhereIs(kCnpj, "MDFe2-eve.err"), "Retorno");
    // The move is the claim on a file: no count and no question without it.
    EXPECT_EQ(m->contadores().iConsultasMDFeErro, 0);
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(Walk, AMissingReturnFolderEndsThePass) {
    EXPECT_THROW(m->ProcessaPastaRetorno(Root() + "nowhere\\", kCnpj), Error);
}

}   // namespace
}   // namespace velmora
