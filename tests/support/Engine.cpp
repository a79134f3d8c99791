#include "tests/support/Engine.h"

#include <chrono>
#include <filesystem>

#include "processors/Pastas.h"

namespace velmora::test {

namespace fs = std::filesystem;

void EngineTest::SetUp() {
    root_ = db.Dir().str() + "mdfe/";
    fs::create_directories(root_);
    db.SetRootFolder(root_);
    m = std::make_unique<Monitor>(ui);
    m->ConectaBanco(db.Location());
}

void EngineTest::TearDown() { m.reset(); }

std::string EngineTest::DropFresh(const std::string& cnpj, const std::string& name, const std::string& content) {
    CriaPastas(root_, cnpj);
    db.Dir().Write("mdfe/" + cnpj + "/Retorno/" + name, content);
    return name;
}

std::string EngineTest::Drop(const std::string& cnpj, const std::string& name, const std::string& content) {
    DropFresh(cnpj, name, content);
    fs::last_write_time(Retorno(cnpj) + name, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    return name;
}

void EngineTest::Settle(const std::string& cnpj) const {
    for (const auto& entry : fs::directory_iterator(Retorno(cnpj)))
        if (entry.is_regular_file())
            fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(1));
}

std::string EngineTest::WhereIs(const std::string& cnpj, const std::string& name) const {
    std::string found;
    int count = 0;
    for (const char* sub : {"Retorno", "Retorno/OK", "Erro"}) {
        if (fs::is_regular_file(fs::path(Folder(cnpj, sub)) / name)) {
            found = fs::path(sub).filename().string();
            ++count;
        }
    }
    return count > 1 ? "many" : found;
}

void EngineTest::RunPass(const std::string& cnpj) {
    CriaPastas(root_, cnpj);
    m->ProcessaPastaRetorno(root_, cnpj);
}

}   // namespace velmora::test
