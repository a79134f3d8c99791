#pragma once
// Every row of the tables the monitor reads or writes, as text, so a test can
// tell which rows a pass changed and which it left byte for byte as they
// were. Read through a session of its own, the way another workstation would
// see the database.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "db/Database.h"
#include "tests/support/TestDatabase.h"

namespace velmora::test {

// One row: its columns as the database layer reads them (null stays null).
using Linha = std::vector<std::optional<std::string>>;
// Table name -> its rows, keyed by the first column (the table's id).
using Tabelas = std::map<std::string, std::map<std::string, Linha>>;

inline constexpr const char* kTabelasDoMonitor[] = {"tab_parametro", "cad_pessoa", "mov_mdf", "mov_mdfe",
                                                    "MOV_MDF_CONDUTOR"};

inline Tabelas LeTabelas(Session& session) {
    Tabelas tabelas;
    for (const char* tabela : kTabelasDoMonitor) {
        db::Query query(session.connection, "qryTabelas", &session.transaction);
        query.SetSQL(std::string("select * from ") + tabela + " order by 1");
        query.Open();
        auto& linhas = tabelas[tabela];
        for (; !query.Eof(); query.Next()) {
            Linha linha;
            for (size_t i = 0; i < query.FieldCount(); ++i) {
                db::Field field = query.FieldByIndex(i);
                linha.push_back(field.IsNull() ? std::nullopt : std::optional(field.AsString()));
            }
            linhas[linha.front().value_or("")] = linha;
        }
    }
    // Nothing of ours stays pinned between two looks.
    session.transaction.Commit();
    return tabelas;
}

// "mov_mdfe 3" for every row that differs between the two looks (or is in
// only one of them).
inline std::vector<std::string> LinhasMudadas(const Tabelas& antes, const Tabelas& depois) {
    std::vector<std::string> mudadas;
    for (const char* tabela : kTabelasDoMonitor) {
        const auto& a = antes.at(tabela);
        const auto& d = depois.at(tabela);
        for (const auto& [id, linha] : a) {
            auto it = d.find(id);
            if (it == d.end() || it->second != linha) mudadas.push_back(std::string(tabela) + " " + id);
        }
        for (const auto& [id, linha] : d)
            if (!a.count(id)) mudadas.push_back(std::string(tabela) + " " + id);
    }
    return mudadas;
}

}   // namespace velmora::test
