// The demo's workstation in one folder, for scripts/demo.sh:
//
//   demo-setup prepare <folder> <erp-schema.sql>
//       Sistema/velmoraempresa.ini   the ERP's local INI, pointing at
//       Dados/velmoraempresa.ini     the server configuration (embedded database)
//       Dados/ERP.FDB                the ERP database: companies and MDF-e records
//       Troca/                       the exchange root named in tab_parametro
//   demo-setup drop <folder>
//       the transmitter's answers for some of those MDF-e, in the companies'
//       return folders, as the transmitter writes them
//   demo-setup report <folder>
//       what the monitor wrote into the MDF-e records
//
// The keys are made from fixed numbers, so "drop" needs no database: the
// embedded database is held by the monitor while it runs.
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "db/Database.h"
#include "processors/Pastas.h"
#include "platform/Locale.h"
#include "tools/transmissor/Documentos.h"

namespace fs = std::filesystem;
namespace doc = velmora::transmissor;
using namespace velmora;

namespace {

constexpr const char* kUser = "sysdba";
constexpr const char* kPassword = "quarzbell";

struct Mdfe {
    int numero;
    int codigo;   // the key's numeric code
};

struct Company {
    const char* cnpj;
    const char* emitsMdfe;
    std::vector<Mdfe> mdfes;
};

// Two companies that emit MDF-e, one that does not (the monitor leaves its
// folder alone).
const std::vector<Company> kCompanies = {
    {"11222333000181", "S", {{101, 10101010}, {102, 10202020}, {103, 10303030}}},
    {"44555666000172", "S", {{201, 20101010}, {202, 20202020}}},
    {"77888999000163", "N", {{301, 30101010}}},
};

std::string Key(const Company& company, const Mdfe& mdfe) {
    return doc::ChaveAcesso(company.cnpj, mdfe.numero, mdfe.codigo);
}

std::string Quoted(const std::string& text) {
    std::string literal = "'";
    for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
    return literal + "'";
}

std::string WithSlash(fs::path folder) {
    std::string text = fs::absolute(folder).lexically_normal().string();
    return text.ends_with('/') ? text : text + "/";
}

void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A session set up like the monitor's.
struct Session {
    explicit Session(const std::string& location) {
        connection.AddParam(std::string("user_name=") + kUser);
        connection.AddParam(std::string("password=") + kPassword);
        connection.SetDatabaseName(location);
        transaction.SetDefaultDatabase(&connection);
        transaction.AddParam("read_committed");
        transaction.AddParam("rec_version");
        transaction.AddParam("nowait");
        connection.SetDefaultTransaction(&transaction);
    }
    void Exec(const std::string& sql) {
        db::Query query(connection, "qryDemo");
        query.SetSQL(sql);
        query.ExecSQL();
        transaction.Commit();   // the schema's tables must exist before rows go in
    }
    db::Connection connection{"IBD_Demo"};
    db::Transaction transaction{"IBT_Demo"};
};

std::string DatabasePath(const fs::path& folder) { return WithSlash(folder / "Dados") + "ERP.FDB"; }
std::string ExchangeRoot(const fs::path& folder) { return WithSlash(folder / "Troca"); }

void Prepare(const fs::path& folder, const fs::path& schema) {
    const std::string dados = WithSlash(folder / "Dados");
    fs::create_directories(folder / "Sistema");
    fs::create_directories(dados);
    fs::create_directories(ExchangeRoot(folder));

    // The ERP's INI files are Windows files: CRLF line ends.
    WriteFile(folder / "Sistema" / "velmoraempresa.ini",
              "[IniServidor]\r\nnomearquivo=" + dados + "velmoraempresa.ini\r\n");
    WriteFile(fs::path(dados) / "velmoraempresa.ini",
              "[Database]\r\nServidor=\r\npath=" + dados + "\r\nname=ERP.FDB\r\n");

    const std::string database = DatabasePath(folder);
    if (fs::exists(database)) fs::remove(database);
    db::CreateDatabase(database, kUser, kPassword);
    Session session(database);
    for (const std::string& statement : db::SplitSqlScript(ReadFile(schema))) session.Exec(statement);
    session.Exec("update tab_parametro set NM_CAMINHO_RAIZ_MDFE = " + Quoted(ExchangeRoot(folder)));

    int idPessoa = 0, idMdf = 0;
    for (const Company& company : kCompanies) {
        const int id = ++idPessoa;
        session.Exec("insert into cad_pessoa (id_pessoa, id_empresa, nm_pessoa, no_cnpj_cpf, st_emitente_mdfe) "
                     "values (" +
                     std::to_string(id) + ", " + std::to_string(id) + ", " +
                     Quoted("Transportadora Demonstração " + std::to_string(id)) + ", " + Quoted(company.cnpj) + ", " +
                     Quoted(company.emitsMdfe) + ")");
        for (const Mdfe& mdfe : company.mdfes) {
            const int mdf = ++idMdf;
            session.Exec("insert into mov_mdf (id_mdf, id_empresa, NO_DOC_MDF) values (" + std::to_string(mdf) + ", " +
                         std::to_string(id) + ", " + std::to_string(mdfe.numero) + ")");
            session.Exec("insert into mov_mdfe (id_mdf, NO_COD_NUMERICO_MDFE, cd_chave_acesso_mdfe) values (" +
                         std::to_string(mdf) + ", " + std::to_string(mdfe.codigo) + ", " +
                         Quoted("MDFe" + Key(company, mdfe)) + ")");
        }
    }
    std::cout << "database " << database << ": " << kCompanies.size() << " companies, " << idMdf
              << " MDF-e records; exchange root " << ExchangeRoot(folder) << "\n";
}

void Drop(const fs::path& folder) {
    const std::string root = ExchangeRoot(folder);
    const auto now = platform::Now();
    std::ostringstream yearMonth;
    yearMonth << std::setfill('0') << std::setw(4) << now.year << std::setw(2) << now.month;

    auto returnFolder = [&](const Company& c) { return MontaCaminho(3, root, c.cnpj); };
    auto put = [&](const std::string& windowsPath, const std::string& content) {
        std::string native = windowsPath;
        for (char& ch : native)
            if (ch == '\\') ch = '/';
        WriteFile(native, content);
        std::cout << "  " << native.substr(root.size()) << "\n";
    };

    const Company& a = kCompanies[0];
    const Company& b = kCompanies[1];
    const Company& c = kCompanies[2];

    // Authorisations: the processing result, and the authorised document the
    // printing step looks for.
    int receipt = 1;
    for (auto [company, mdfe] : {std::pair{&a, a.mdfes[0]}, std::pair{&b, b.mdfes[0]}}) {
        doc::Processamento p;
        p.chMDFe = Key(*company, mdfe);
        p.nRec = "41900000000000" + std::to_string(receipt);
        p.nProt = "94126000000000" + std::to_string(receipt);
        ++receipt;
        put(returnFolder(*company) + doc::NomeProcessamento(p.nRec), doc::RetornoProcessamento(p));
        put(MontaCaminho(9, root, company->cnpj) + yearMonth.str() + "\\" + doc::NomeProcMDFe(p.chMDFe),
            doc::ProcMDFe(p.chMDFe, p.nProt));
    }

    // A status query that finds the MDF-e authorised.
    doc::Situacao s;
    s.chMDFe = Key(a, a.mdfes[1]);
    s.nProt = "941260000000010";
    put(returnFolder(a) + doc::NomeSituacao(s.chMDFe), doc::RetConsSitMDFe(s));

    // A closing and a cancellation, both registered.
    doc::Evento closing;
    closing.chMDFe = Key(a, a.mdfes[2]);
    closing.tpEvento = "110112";
    closing.nProt = "941260000000020";
    put(returnFolder(a) + doc::NomeEvento(closing.chMDFe), doc::RetEventoMDFe(closing));
    doc::Evento cancellation;
    cancellation.chMDFe = Key(b, b.mdfes[1]);
    cancellation.tpEvento = "110111";
    cancellation.nProt = "941260000000021";
    put(returnFolder(b) + doc::NomeEvento(cancellation.chMDFe), doc::RetEventoMDFe(cancellation));

    // The company that emits no MDF-e: its answer stays where it is.
    doc::Processamento ignored;
    ignored.chMDFe = Key(c, c.mdfes[0]);
    ignored.nRec = "419000000000009";
    put(returnFolder(c) + doc::NomeProcessamento(ignored.nRec), doc::RetornoProcessamento(ignored));
}

void Report(const fs::path& folder) {
    Session session(DatabasePath(folder));
    db::Query query(session.connection, "qryDemo");
    query.SetSQL("select pe.no_cnpj_cpf, mm.NO_DOC_MDF, md.NO_PROTOCOLO_MDFE, md.CD_ST_MDFE, md.DH_PROCESSA_MDFE, "
                 "md.NO_PROTOCOLO_ENC_MDFE, md.CD_ST_ENC_MDFE, md.NO_PROTOCOLO_CAN_MDFE, md.CD_ST_CAN_MDFE "
                 "from mov_mdf mm join mov_mdfe md on md.id_mdf = mm.id_mdf join cad_pessoa pe on pe.id_pessoa = "
                 "mm.id_empresa order by mm.id_mdf");
    query.Open();
    auto cell = [&](const char* column) {
        db::Field f = query.FieldByName(column);
        return f.IsNull() ? std::string("-") : f.AsString();
    };
    std::cout << std::left << std::setw(16) << "CNPJ" << std::setw(6) << "MDF" << std::setw(17) << "protocolo"
              << std::setw(6) << "st" << std::setw(26) << "processado" << std::setw(17) << "encerramento"
              << std::setw(6) << "st" << std::setw(17) << "cancelamento"
              << "st\n";
    for (; !query.Eof(); query.Next()) {
        std::cout << std::setw(16) << cell("no_cnpj_cpf") << std::setw(6) << cell("NO_DOC_MDF") << std::setw(17)
                  << cell("NO_PROTOCOLO_MDFE") << std::setw(6) << cell("CD_ST_MDFE") << std::setw(26)
                  << cell("DH_PROCESSA_MDFE") << std::setw(17) << cell("NO_PROTOCOLO_ENC_MDFE") << std::setw(6)
                  << cell("CD_ST_ENC_MDFE") << std::setw(17) << cell("NO_PROTOCOLO_CAN_MDFE") << cell("CD_ST_CAN_MDFE")
                  << "\n";
    }
    session.transaction.Commit();
}

int Usage() {
    std::cerr << "usage: demo-setup prepare <folder> <erp-schema.sql>\n"
                 "       demo-setup drop <folder>\n"
                 "       demo-setup report <folder>\n";
    return 2;
}

}   // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    const fs::path folder = argv[2];
    try {
        if (command == "prepare" && argc == 4) Prepare(folder, argv[3]);
        else if (command == "drop" && argc == 3) Drop(folder);
        else if (command == "report" && argc == 3) Report(folder);
        else return Usage();
    } catch (const std::exception& e) {
        std::cerr << "demo-setup " << command << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
