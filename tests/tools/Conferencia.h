#pragma once
// Checking a run of the monitor against the transmitter stand-in's plan:
// the files the plan wrote must each be in exactly the folder the plan
// expects (none lost, none duplicated, nothing else there), and the MDF-e
// and driver rows must equal the plan's rows column by column. Shared by the
// plan tests (engine in-process) and the end-to-end tests (the real program).
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>

#include "tests/support/TestDatabase.h"
#include "tools/transmissor/Cenarios.h"
#include "tools/transmissor/Documentos.h"

namespace velmora::test::conferencia {

namespace fs = std::filesystem;
using transmissor::Arquivo;
using transmissor::Destino;
using transmissor::Plano;

inline std::string Nativo(const std::string& pastaWindows) {
    std::string p = pastaWindows;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

inline std::string MesAtual() {
    std::time_t agora = std::time(nullptr);
    std::tm local{};
    localtime_r(&agora, &local);
    char texto[8];
    std::strftime(texto, sizeof texto, "%Y%m", &local);
    return texto;
}

// Writes the plan's files below the company folder (native, ending in "/")
// the way the transmitter does: stored documents first, a lot's receipt
// before its lot-number file.
inline void GravaPlano(const Plano& plano, const std::string& pastaEmpresa) {
    auto ehNumeroLote = [](const Arquivo& f) { return f.nome.find("-num-lot.xml") != std::string::npos; };
    for (int etapa = 0; etapa < 3; ++etapa)
        for (const Arquivo& f : plano.arquivos) {
            int sua = f.destino == Destino::Guardado ? 0 : ehNumeroLote(f) ? 2 : 1;
            if (sua != etapa) continue;
            fs::path caminho = pastaEmpresa + Nativo(f.pasta) + f.nome;
            fs::create_directories(caminho.parent_path());
            std::ofstream(caminho, std::ios::binary) << f.conteudo;
        }
}

inline std::set<std::string> NomesEm(const fs::path& pasta) {
    std::set<std::string> nomes;
    std::error_code erro;
    for (const auto& e : fs::directory_iterator(pasta, erro))
        if (e.is_regular_file()) nomes.insert(e.path().filename().string());
    return nomes;
}

// Every result file in exactly the folder the plan names, with its content
// unchanged, no other file in the three folders, and the stored documents
// where the transmitter left them.
inline void ConfereArquivos(const Plano& plano, const std::string& pastaEmpresa) {
    const std::pair<Destino, const char*> pastas[] = {
        {Destino::Retorno, "Retorno"}, {Destino::Ok, "Retorno/OK"}, {Destino::Erro, "Erro"}};
    std::set<std::string> esperados[3];
    for (const Arquivo& f : plano.arquivos) {
        if (f.destino == Destino::Guardado) {
            EXPECT_TRUE(fs::is_regular_file(pastaEmpresa + Nativo(f.pasta) + f.nome)) << f.pasta << f.nome;
            continue;
        }
        for (int i = 0; i < 3; ++i)
            if (pastas[i].first == f.destino) esperados[i].insert(f.nome);
        for (int i = 0; i < 3; ++i) {
            fs::path caminho = fs::path(pastaEmpresa) / pastas[i].second / f.nome;
            if (pastas[i].first != f.destino || !fs::is_regular_file(caminho)) continue;
            std::ifstream in(caminho, std::ios::binary);
            std::string conteudo((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(conteudo, f.conteudo) << "content of " << f.nome << " changed";
        }
    }
    for (int i = 0; i < 3; ++i) {
        std::set<std::string> achados = NomesEm(fs::path(pastaEmpresa) / pastas[i].second);
        for (const auto& nome : esperados[i])
            EXPECT_TRUE(achados.count(nome)) << nome << " is not in " << pastas[i].second;
        for (const auto& nome : achados)
            EXPECT_TRUE(esperados[i].count(nome)) << nome << " should not be in " << pastas[i].second;
    }
}

// Date-times come back as "yyyy-mm-dd hh:mm:ss.ffff"; the plan has no
// fractions.
inline std::optional<std::string> SemFracao(std::optional<std::string> v) {
    if (v && v->size() == 24 && (*v)[19] == '.') v->resize(19);
    return v;
}

inline std::string Texto(const std::optional<std::string>& v) { return v ? *v : "null"; }

inline void ConfereRegistros(const Plano& plano, TestDatabase& db) {
    std::string colunas;
    for (const char* c : transmissor::kColunasMdfe) colunas += std::string(colunas.empty() ? "" : ", ") + c;
    for (const auto& linha : plano.mdfe) {
        auto lida = db.Row("select " + colunas + " from mov_mdfe where id_mdf = " + std::to_string(linha.idMdf));
        ASSERT_EQ(lida.size(), linha.colunas.size()) << "id_mdf " << linha.idMdf;
        for (size_t i = 0; i < lida.size(); ++i)
            EXPECT_EQ(Texto(SemFracao(lida[i])), Texto(linha.colunas[i]))
                << "id_mdf " << linha.idMdf << ", " << transmissor::kColunasMdfe[i];
    }
    for (const auto& c : plano.condutores) {
        auto lida =
            db.Row("select NO_PROTOCOLO_CONDUTOR, DH_PROCESSA_CONDUTOR, CD_ST_CONDUTOR from MOV_MDF_CONDUTOR where "
                   "id_mdf_condutor = " +
                   std::to_string(c.id));
        ASSERT_EQ(lida.size(), 3u) << "driver " << c.id;
        EXPECT_EQ(Texto(lida[0]), Texto(c.protocolo)) << "driver " << c.id;
        EXPECT_EQ(Texto(SemFracao(lida[1])), Texto(c.dataHora)) << "driver " << c.id;
        EXPECT_EQ(Texto(lida[2]), Texto(c.status)) << "driver " << c.id;
    }
}

// A company with the records a scenario needs, made the way the stand-in's
// --novos-registros makes them; `primeiroNumero` keeps the numbers of
// several companies apart.
inline transmissor::Empresa CriaEmpresa(TestDatabase& db, const std::string& cnpj, const std::string& cenario,
                                        int primeiroNumero) {
    const int empresa = db.AddCompany(cnpj);
    transmissor::Empresa e{cnpj, {}};
    int quantos = 0;
    for (const auto& c : transmissor::Cenarios())
        if (cenario == c.nome) quantos = c.registros;
    for (int i = 0; i < quantos; ++i) {
        const int numero = primeiroNumero + i;
        const std::string chave = transmissor::ChaveAcesso(cnpj, numero, 20000000 + numero);
        transmissor::Registro r{db.AddMdfe(empresa, chave), chave, {}};
        for (std::optional<int> seq : transmissor::CondutoresNecessarios(cenario, i))
            r.condutores.push_back({db.AddDriver(r.idMdf, seq), seq});
        e.registros.push_back(r);
    }
    return e;
}

inline std::string Contagem(const Contadores& c) {
    return std::to_string(c.iLotesProcessados) + "/" + std::to_string(c.iPedidosGerados) + "/" +
           std::to_string(c.iConfirmacaoRecebida) + "/" + std::to_string(c.iMDFeAutorizada) + "/" +
           std::to_string(c.iMDFeCancelada) + "/" + std::to_string(c.iMDFeEncerrada) + "/" +
           std::to_string(c.iConsultasMDFe) + "/" + std::to_string(c.iSolicitacaoInconsistente) + " | " +
           std::to_string(c.iLotesErro) + "/" + std::to_string(c.iConfirmacaoErro) + "/" + std::to_string(c.iMDFeErro) +
           "/" + std::to_string(c.iConsultasMDFeErro);
}

}   // namespace velmora::test::conferencia
