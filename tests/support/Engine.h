#pragma once
// The engine on a real embedded ERP database and a real exchange tree in a
// temporary folder, driven through a scripted user interface.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "monitor/Monitor.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TestDatabase.h"

namespace velmora::test {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The exchange root (native, ending in "/") and a company's folders.
    std::string Root() const { return root_; }
    std::string Folder(const std::string& cnpj, const std::string& sub) const { return root_ + cnpj + "/" + sub; }
    std::string Retorno(const std::string& cnpj) const { return Folder(cnpj, "Retorno/"); }

    // Writes a result file into the company's return folder (the tree is
    // made first), as the transmitter left it a minute ago; returns its name.
    std::string Drop(const std::string& cnpj, const std::string& name, const std::string& content);
    // The same, written just now: the transmitter may still be at it.
    std::string DropFresh(const std::string& cnpj, const std::string& name, const std::string& content);
    // Every file of the company's return folder as written a minute ago.
    void Settle(const std::string& cnpj) const;
    // Which of the three folders holds the file: "Retorno", "OK", "Erro";
    // "" when none, "many" when more than one.
    std::string WhereIs(const std::string& cnpj, const std::string& name) const;

    // One company pass over the company's return folder, as the cycle runs it.
    void RunPass(const std::string& cnpj);

    ScriptedUi ui;
    TestDatabase db;
    std::unique_ptr<Monitor> m;

private:
    std::string root_;
};

}   // namespace velmora::test
