// The monitoring cycle: every emitting company, its folder tree, its pass.
#include "monitor/Ciclo.h"

#include "config/Configuracao.h"
#include "monitor/Monitor.h"
#include "monitor/Pastas.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Text.h"
#include "processors/Processadores.h"

namespace velmora {

namespace {

// Marks a cycle as running for as long as it is on the stack, also when an
// error or the end of the program unwinds it.
class CycleGuard {
public:
    explicit CycleGuard(int& depth) : depth_(depth) { ++depth_; }
    ~CycleGuard() { --depth_; }
    CycleGuard(const CycleGuard&) = delete;
    CycleGuard& operator=(const CycleGuard&) = delete;

private:
    int& depth_;
};

// The pass's document and query objects are freed at the end of the pass,
// on every path, in the order they are declared in the window.
class PassObjects {
public:
    explicit PassObjects(Monitor& m) : m_(m) {
        m_.vXMLDoc = std::make_unique<pugi::xml_document>();
        m_.qryUpdate = std::make_unique<db::Query>(*m_.IBD_BancoDados, "qryUpdate", m_.IBT_BancoDados.get());
        m_.qryPesquisa = std::make_unique<db::Query>(*m_.IBD_BancoDados, "qryPesquisa", m_.IBT_BancoDados.get());
    }
    ~PassObjects() {
        m_.vXMLDoc.reset();
        m_.qryUpdate.reset();
        m_.qryPesquisa.reset();
    }
    PassObjects(const PassObjects&) = delete;
    PassObjects& operator=(const PassObjects&) = delete;

private:
    Monitor& m_;
};

} // namespace

void Monitor::ProcessaEmpresas() {
    if (CicloEmAndamento()) return;   // cycles never nest
    CycleGuard running(cycleDepth_);
    Pump();
    it_sPastaRaizMDFe = LeCaminhoRaizMDFe(*this);
    {
        db::Query qryEmpresa(*IBD_BancoDados, "qryEmpresa");
        it_sSql = " select pe.id_empresa, pe.no_cnpj_cpf from cad_pessoa pe where pe.st_emitente_mdfe = ";
        it_sSql += "'S'";
        it_sSql += " and pe.no_cnpj_cpf is not null";
        qryEmpresa.Close();
        qryEmpresa.SetSQL(it_sSql);
        qryEmpresa.Open();   // every row is fetched here: the list is fixed for the cycle
        for (; !qryEmpresa.Eof(); qryEmpresa.Next()) {
            it_sCNPJEmpresa = qryEmpresa.FieldByName("no_cnpj_cpf").AsString();
            CriaPastas(it_sPastaRaizMDFe, it_sCNPJEmpresa);
            ProcessaPastaRetorno(MontaCaminho(3, it_sPastaRaizMDFe, it_sCNPJEmpresa));
        }
    }
    ui.SetTimerEnabled(true);
}

void Monitor::ProcessaPastaRetorno(const std::string& pasta) {
    Pump();
    PassObjects pass(*this);
    for (Processador processador : kProcessadores) processador(*this, *vXMLDoc, FileListBox1, pasta);
    AtualizaContadores();
}

bool ProcessoEmExecucao(const std::string& exeName) { return platform::IsProcessRunning(exeName); }

bool ServidorConectado(Monitor& m) {
    std::string marcador;
    std::string pasta = PastaDadosServidor(m);
    std::string arquivo = pasta + "Conectado.txt";
    if (platform::FolderExists(pasta) && platform::FileExists(arquivo)) {
        auto linha = platform::ReadFirstLineSharedRead(arquivo);
        if (!linha) {
            // The server holds the marker open for writing right now; that is
            // no request to disconnect, so the monitor keeps running and looks
            // again at the next tick.
            m.Mensagem(kAvisoDoSistema, "Não foi possível acessar a pasta Dados no Servidor.", Icon::Error);
            return true;
        }
        marcador = platform::AnsiToUtf8(*linha);
    }
    return marcador != "DESCONECTAR";
}

} // namespace velmora
