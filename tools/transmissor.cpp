// The transmitter stand-in: writes into a company's exchange folders the
// result files the fiscal transmitter would write for the company's MDF-e
// records, for one scenario, and prints what the monitor should make of each
// file. For the demo, the end-to-end tests and a technician who wants to see
// the monitor work without the tax authority.
//
//   transmissor <database> <cnpj> <scenario> [--novos-registros] [--mes yyyymm]
//   transmissor --cenarios
//
// <database> is what the ERP's server configuration composes ("localhost:/
// var/dados/ERP.FDB", or a file path for the embedded engine). The exchange
// root comes from tab_parametro.NM_CAMINHO_RAIZ_MDFE, Windows paths through
// the drive map. --novos-registros first adds to the company (created when
// missing) the MDF-e records the scenario needs, so that the expectations
// start from empty records; otherwise the company's first records are used
// as they are.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "db/Database.h"
#include "platform/Paths.h"
#include "tools/transmissor/Cenarios.h"
#include "tools/transmissor/Documentos.h"

namespace fs = std::filesystem;
using namespace velmora;
using namespace velmora::transmissor;

namespace {

struct Argumentos {
    std::string banco, cnpj, cenario, anoMes;
    bool novosRegistros = false;
};

void Uso() {
    std::cerr << "uso: transmissor <banco> <cnpj> <cenário> [--novos-registros] [--mes aaaamm]\n"
                 "     transmissor --cenarios\n";
}

std::string Literal(const std::string& texto) {
    std::string literal = "'";
    for (char c : texto) literal += c == '\'' ? std::string("''") : std::string(1, c);
    return literal + "'";
}

std::string MesAtual() {
    std::time_t agora = std::time(nullptr);
    std::tm local{};
    localtime_r(&agora, &local);
    char texto[8];
    std::strftime(texto, sizeof texto, "%Y%m", &local);
    return texto;
}

// One connection and its transaction, each statement committed.
class Banco {
public:
    explicit Banco(const std::string& local) {
        conexao_.ClearParams();
        conexao_.AddParam("user_name=sysdba");
        conexao_.AddParam("password=quarzbell");
        conexao_.SetDatabaseName(local);
        transacao_.SetDefaultDatabase(&conexao_);
        transacao_.ClearParams();
        transacao_.AddParam("read_committed");
        transacao_.AddParam("rec_version");
        transacao_.AddParam("nowait");
        conexao_.SetDefaultTransaction(&transacao_);
    }
    std::vector<std::vector<std::optional<std::string>>> Linhas(const std::string& sql) {
        db::Query q(conexao_, "qryTransmissor");
        q.SetSQL(sql);
        q.Open();
        std::vector<std::vector<std::optional<std::string>>> linhas;
        for (; !q.Eof(); q.Next()) {
            auto& linha = linhas.emplace_back();
            for (size_t i = 0; i < q.FieldCount(); ++i) {
                db::Field f = q.FieldByIndex(i);
                linha.push_back(f.IsNull() ? std::nullopt : std::optional(f.AsString()));
            }
        }
        transacao_.CommitRetaining();
        return linhas;
    }
    std::optional<std::string> Valor(const std::string& sql) {
        auto linhas = Linhas(sql);
        return linhas.empty() || linhas[0].empty() ? std::nullopt : linhas[0][0];
    }
    int Proximo(const std::string& tabela, const std::string& coluna) {
        return std::stoi(*Valor("select coalesce(max(" + coluna + "), 0) + 1 from " + tabela));
    }
    void Executa(const std::string& sql) {
        db::Query q(conexao_, "qryTransmissor");
        q.SetSQL(sql);
        q.ExecSQL();
        transacao_.CommitRetaining();
    }

private:
    db::Connection conexao_{"IBD_Transmissor"};
    db::Transaction transacao_{"IBT_Transmissor"};
};

std::string SoDigitos(const std::string& texto) {
    std::string d;
    for (char c : texto)
        if (c >= '0' && c <= '9') d += c;
    return d;
}

int EmpresaDoCnpj(Banco& banco, const std::string& cnpj, bool criar) {
    auto id = banco.Valor("select id_pessoa from cad_pessoa where no_cnpj_cpf = " + Literal(cnpj));
    if (id) return std::stoi(*id);
    if (!criar) throw Error("nenhuma empresa com o CNPJ " + cnpj + " em cad_pessoa");
    int novo = banco.Proximo("cad_pessoa", "id_pessoa");
    banco.Executa("insert into cad_pessoa (id_pessoa, id_empresa, nm_pessoa, no_cnpj_cpf, st_emitente_mdfe) values (" +
                  std::to_string(novo) + ", " + std::to_string(novo) + ", " + Literal("Empresa " + cnpj) + ", " +
                  Literal(cnpj) + ", 'S')");
    return novo;
}

// Adds the records the scenario needs, each with a number the ERP has not
// used yet and the drivers the scenario expects; returns their ids.
std::vector<int> CriaRegistros(Banco& banco, int empresa, const std::string& cnpj, const std::string& cenario,
                               int quantos) {
    std::vector<int> ids;
    for (int i = 0; i < quantos; ++i) {
        int id = banco.Proximo("mov_mdf", "id_mdf");
        int numero = banco.Proximo("mov_mdf", "NO_DOC_MDF");
        int codigo = 10000000 + (numero * 7919) % 89999999;
        std::string chave = ChaveAcesso(SoDigitos(cnpj), numero, codigo);
        banco.Executa("insert into mov_mdf (id_mdf, id_empresa, NO_DOC_MDF) values (" + std::to_string(id) + ", " +
                      std::to_string(empresa) + ", " + std::to_string(numero) + ")");
        banco.Executa("insert into mov_mdfe (id_mdf, NO_COD_NUMERICO_MDFE, cd_chave_acesso_mdfe) values (" +
                      std::to_string(id) + ", " + std::to_string(codigo) + ", " + Literal("MDFe" + chave) + ")");
        for (std::optional<int> seq : CondutoresNecessarios(cenario, i)) {
            int condutor = banco.Proximo("MOV_MDF_CONDUTOR", "id_mdf_condutor");
            banco.Executa(
                "insert into MOV_MDF_CONDUTOR (id_mdf_condutor, id_mdf, no_seq_evento, nm_condutor) values (" +
                std::to_string(condutor) + ", " + std::to_string(id) + ", " + (seq ? std::to_string(*seq) : "null") +
                ", " + Literal("Condutor " + std::to_string(condutor)) + ")");
        }
        ids.push_back(id);
    }
    return ids;
}

Empresa LeEmpresa(Banco& banco, const std::string& cnpj, int empresa, const std::vector<int>& somente) {
    Empresa e{cnpj, {}};
    std::string filtro = " where mm.id_empresa = " + std::to_string(empresa);
    if (!somente.empty())
        filtro +=
            " and mm.id_mdf between " + std::to_string(somente.front()) + " and " + std::to_string(somente.back());
    for (auto& linha : banco.Linhas("select mm.id_mdf, md.cd_chave_acesso_mdfe from mov_mdf mm inner join mov_mdfe md "
                                    "on (md.id_mdf = mm.id_mdf)" +
                                    filtro + " order by mm.id_mdf")) {
        std::string chave = linha[1].value_or("");
        if (chave.starts_with("MDFe")) chave = chave.substr(4);
        Registro r{std::stoi(*linha[0]), chave, {}};
        for (auto& c : banco.Linhas("select id_mdf_condutor, no_seq_evento from MOV_MDF_CONDUTOR where id_mdf = " +
                                    *linha[0] + " order by id_mdf_condutor"))
            r.condutores.push_back({std::stoi(*c[0]), c[1] ? std::optional(std::stoi(*c[1])) : std::nullopt});
        e.registros.push_back(std::move(r));
    }
    return e;
}

// Written beside its final name and renamed into place, so that the monitor
// never lists a file that is still being written. The temporary name matches
// none of the monitor's masks.
void Grava(const fs::path& caminho, const std::string& conteudo) {
    fs::create_directories(caminho.parent_path());
    static int contador = 0;
    fs::path parcial = caminho.parent_path() /
                       ("~transmissor-" + std::to_string(getpid()) + "-" + std::to_string(++contador) + ".parcial");
    {
        std::ofstream out(parcial, std::ios::binary);
        out << conteudo;
        if (!out.flush()) throw Error("não foi possível gravar " + parcial.string());
    }
    fs::rename(parcial, caminho);
}

std::string Contagem(const Contadores& c) {
    struct Item {
        int32_t Contadores::*campo;
        const char* legenda;
    };
    static const Item itens[] = {
        {&Contadores::iLotesProcessados, "Lotes Processados"},
        {&Contadores::iPedidosGerados, "Pedidos Gerados"},
        {&Contadores::iConfirmacaoRecebida, "Confirmações Recebidas"},
        {&Contadores::iMDFeAutorizada, "MDF-e Autorizadas"},
        {&Contadores::iMDFeCancelada, "MDF-e Canceladas"},
        {&Contadores::iMDFeEncerrada, "MDF-e Encerradas"},
        {&Contadores::iLotesErro, "Lotes com o Erro"},
        {&Contadores::iConfirmacaoErro, "Confirmações com Erro"},
        {&Contadores::iMDFeErro, "MDF-e com Erro"},
        {&Contadores::iConsultasMDFeErro, "Consultas com Erro"},
    };
    std::string texto;
    for (const Item& i : itens)
        if (c.*i.campo)
            texto += (texto.empty() ? "" : ", ") + std::string(i.legenda) + " +" + std::to_string(c.*i.campo);
    return texto.empty() ? "-" : texto;
}

int Executa(const Argumentos& a) {
    Banco banco(a.banco);
    const Cenario* cenario = nullptr;
    for (const auto& c : Cenarios())
        if (a.cenario == c.nome) cenario = &c;
    if (!cenario) throw Error("cenário desconhecido: " + a.cenario + " (veja --cenarios)");

    std::string raiz = banco.Valor("select NM_CAMINHO_RAIZ_MDFE from tab_parametro").value_or("");
    if (raiz.empty()) throw Error("tab_parametro.NM_CAMINHO_RAIZ_MDFE está vazio");
    if (raiz.back() != '\\' && raiz.back() != '/') raiz += "\\";

    int empresa = EmpresaDoCnpj(banco, a.cnpj, a.novosRegistros);
    std::vector<int> novos;
    if (a.novosRegistros) novos = CriaRegistros(banco, empresa, a.cnpj, a.cenario, cenario->registros);
    Empresa e = LeEmpresa(banco, a.cnpj, empresa, novos);
    if (!a.novosRegistros && static_cast<int>(e.registros.size()) > cenario->registros)
        e.registros.resize(cenario->registros);
    Plano plano = MontaPlano(a.cenario, e, a.anoMes);

    // The transmitter's order: its stored documents first, a lot's receipt
    // before the lot's number file.
    auto caminho = [&](const Arquivo& f) {
        return fs::path(platform::ToNative(raiz + a.cnpj + "\\" + f.pasta + f.nome));
    };
    auto ehNumeroLote = [](const Arquivo& f) { return f.nome.find("-num-lot.xml") != std::string::npos; };
    for (int etapa = 0; etapa < 3; ++etapa)
        for (const Arquivo& f : plano.arquivos) {
            int sua = f.destino == Destino::Guardado ? 0 : ehNumeroLote(f) ? 2 : 1;
            if (sua == etapa) Grava(caminho(f), f.conteudo);
        }

    std::cout << "Cenário " << a.cenario << " para a empresa " << a.cnpj << " em "
              << platform::ToNative(raiz + a.cnpj + "\\") << "\n\n";
    for (const Arquivo& f : plano.arquivos) {
        std::cout << f.pasta << f.nome << "\n    -> " << NomeDestino(f.destino);
        if (f.destino != Destino::Guardado) std::cout << "; " << Contagem(f.contadores);
        if (f.pergunta) std::cout << "; pergunta se quer ver o arquivo";
        std::cout << "\n    " << f.descricao << "\n";
    }
    std::cout << "\nContadores esperados: " << Contagem(plano.Total()) << "\n";
    std::cout << "Perguntas esperadas: " << plano.Perguntas() << "\n";
    for (const auto& chave : plano.impressoes) std::cout << "Impressão esperada: MDFe" << chave << "\n";
    std::cout << "\nRegistros esperados (mov_mdfe):\n";
    for (const LinhaMdfe& l : plano.mdfe) {
        std::cout << "  id_mdf " << l.idMdf << ":";
        bool algum = false;
        for (size_t i = 0; i < l.colunas.size(); ++i)
            if (l.colunas[i]) {
                std::cout << " " << kColunasMdfe[i] << "=" << *l.colunas[i];
                algum = true;
            }
        std::cout << (algum ? "\n" : " sem alteração\n");
    }
    for (const LinhaCondutor& c : plano.condutores)
        std::cout << "  condutor " << c.id << ": "
                  << (c.protocolo ? "NO_PROTOCOLO_CONDUTOR=" + *c.protocolo + " DH_PROCESSA_CONDUTOR=" +
                                        c.dataHora.value_or("null") + " CD_ST_CONDUTOR=" + c.status.value_or("null")
                                  : std::string("sem alteração"))
                  << "\n";
    return 0;
}

}   // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--cenarios") {
        for (const auto& c : Cenarios())
            std::cout << c.nome << "\t" << c.descricao << " (" << c.registros << " MDF-e)\n";
        return 0;
    }
    Argumentos a;
    a.anoMes = MesAtual();
    std::vector<std::string> posicionais;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--novos-registros") a.novosRegistros = true;
        else if (args[i] == "--mes" && i + 1 < args.size()) a.anoMes = args[++i];
        else posicionais.push_back(args[i]);
    }
    if (posicionais.size() != 3) {
        Uso();
        return 2;
    }
    a.banco = posicionais[0];
    a.cnpj = posicionais[1];
    a.cenario = posicionais[2];
    try {
        return Executa(a);
    } catch (const std::exception& e) {
        std::cerr << "transmissor: " << e.what() << "\n";
        return 1;
    }
}
