// The monitoring cycle: every emitting company, its folder tree, its pass.
#include "monitor/Ciclo.h"

#include "config/Configuracao.h"
#include "monitor/Monitor.h"
#include "platform/FileSystem.h"
#include "platform/Journal.h"
#include "platform/Processes.h"
#include "platform/Text.h"
#include "processors/Pastas.h"
#include "processors/Processadores.h"

namespace velmora {

void Monitor::ProcessaEmpresas() {
    // Cycles never nest, never start under one of the engine's message
    // boxes, and never once the end of the program is decided.
    if (CicloEmAndamento() || caixasAbertas_ > 0 || ending_) return;
    EmCurso ciclo(cycleDepth_);
    Pump();
    std::string cnpj;
    try {
        const std::string raiz = LeCaminhoRaizMDFe(*conexao_);
        if (raiz != raizRegistrada_) {
            raizRegistrada_ = raiz;
            platform::journal::Write("pasta raiz de troca: " + raiz);
        }
        db::Query qryEmpresa(*conexao_, "qryEmpresa");
        std::string sql = " select pe.id_empresa, pe.no_cnpj_cpf from cad_pessoa pe where pe.st_emitente_mdfe = ";
        sql += "'S'";
        sql += " and pe.no_cnpj_cpf is not null";
        qryEmpresa.Close();
        qryEmpresa.SetSQL(sql);
        qryEmpresa.Open();   // every row is fetched here: the list is fixed for the cycle
        for (; !qryEmpresa.Eof(); qryEmpresa.Next()) {
            cnpj = qryEmpresa.FieldByName("no_cnpj_cpf").AsString();
            CriaPastas(raiz, cnpj);
            ProcessaPastaRetorno(raiz, cnpj);
        }
    } catch (const SilentAbort&) {
        MarcaParada("documento autorizado não encontrado para impressão", cnpj);
        throw;
    } catch (const std::exception& e) {
        MarcaParada(e.what(), cnpj);
        throw;
    }
    LimpaParada();
    ui_.SetTimerEnabled(true);
}

void Monitor::ProcessaPastaRetorno(const std::string& raiz, const std::string& cnpj) {
    Pump();
    PassagemEmpresa passagem(*this, raiz, cnpj);
    for (const Processador& processador : kProcessadores) Percorre(passagem, processador);
    AtualizaContadores();
}

bool ProcessoEmExecucao(const std::string& exeName) { return platform::IsProcessRunning(exeName); }

bool Monitor::ServidorConectado() {
    std::string pasta;
    try {
        pasta = PastaDadosServidor();
    } catch (const ConfiguracaoAusente& e) {
        EncerraPrograma(kAvisoDoSistema, e.Message(), Icon::Error);
    }
    std::string marcador;
    std::string arquivo = pasta + "Conectado.txt";
    if (platform::FolderExists(pasta) && platform::FileExists(arquivo)) {
        auto linha = platform::ReadFirstLineSharedRead(arquivo);
        if (!linha) {
            // The server holds the marker open for writing right now; that is
            // no request to disconnect, so the monitor keeps running and looks
            // again at the next tick.
            Mensagem(kAvisoDoSistema, "Não foi possível acessar a pasta Dados no Servidor.", Icon::Error);
            return true;
        }
        marcador = platform::AnsiToUtf8(*linha);
    }
    return marcador != "DESCONECTAR";
}

}   // namespace velmora
