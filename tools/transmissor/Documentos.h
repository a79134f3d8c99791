#pragma once
// Result files as the transmitter writes them into a company's return
// folder: the tax authority's answers of the MDF-e standard (the bare answer
// element on one line, namespace on the root, no declaration), the lot-number
// file, the authorised document and the error files. Used by the transmitter
// stand-in, the demo and the tests.
#include <string>
#include <vector>

namespace velmora::transmissor {

inline constexpr const char* kNamespace = "http://www.portalfiscal.inf.br/mdfe";

// The lot-number file ("MDFe" + key + "-num-lot.xml"): indented UTF-8 with
// byte-order mark and declaration, CRLF, no namespace, the lot number
// unpadded.
std::string NumeroLote(const std::string& lote);

// The lot's receipt (lot number with zeros to 15 + "-rec.xml"): retEnviMDFe.
struct Recibo {
    std::string cStat = "103";
    std::string xMotivo = "Lote recebido com sucesso";
    std::string nRec = "419000000000001";
    std::string dhRecbto = "2026-12-10T10:15:20-03:00";
    std::string tMed = "1";
    bool comInfRec = true;
};
std::string RetEnviMDFe(const Recibo& r);

// The processing result ("-pro-rec.xml"): retConsReciMDFe (receipt query)
// or retMDFe (synchronous answer); "104" at the top, the MDF-e's own status
// in protMDFe/infProt.
struct Processamento {
    bool sincrono = false;   // retMDFe instead of retConsReciMDFe
    std::string cStatLote = "104";
    std::string nRec = "419000000000001";
    std::string chMDFe;
    std::string dhRecbto = "2026-12-10T10:16:00-03:00";
    std::string nProt = "941260000000001";   // empty: left out
    std::string cStat = "100";
    std::string xMotivo = "Autorizado o uso do MDF-e";
    bool comProtMDFe = true;
};
std::string RetornoProcessamento(const Processamento& p);

// One registered event inside a status-query result (procEventoMDFe).
struct EventoRegistrado {
    std::string tpEvento;   // "110112", "110111", "110114", "310620", "510620"
    std::string dhEvento = "2026-12-10T11:00:00-03:00";
    std::string nProtDetalhe = "941260000000050";   // nProt in evEncMDFe/evCancMDFe; empty: left out
    std::string nSeqEvento = "1";
    std::string nProtRegistro = "941260000000051";
};

// The status-query result (key + "-sit.xml"): retConsSitMDFe.
struct Situacao {
    std::string cStat = "100";   // "100", "101", "132", or a rejection
    std::string chMDFe;
    std::string dhRecbto = "2026-12-10T10:16:00-03:00";
    std::string nProt = "941260000000001";
    std::string cStatProt = "100";
    bool comProtMDFe = true;
    std::vector<EventoRegistrado> eventos;
};
std::string RetConsSitMDFe(const Situacao& s);

// The event result ("MDFe" + key + "-eve.xml"): retEventoMDFe. A rejected
// answer may lack chMDFe, tpEvento, nSeqEvento and nProt (empty: left out).
struct Evento {
    std::string cStat = "135";
    std::string xMotivo = "Evento registrado e vinculado ao MDF-e";
    std::string chMDFe;
    std::string tpEvento = "110112";
    std::string nSeqEvento = "001";
    std::string dhRegEvento = "2026-12-10T11:00:05-03:00";
    std::string nProt = "941260000000060";
    bool comInfEvento = true;
};
std::string RetEventoMDFe(const Evento& e);

// The authorised document (key + "-procMDFe.xml" under
// "\Enviado\Autorizados\yyyymm\"): declaration and mdfeProc on one line.
std::string ProcMDFe(const std::string& chMDFe, const std::string& nProt);

// A registered event as the transmitter stores it beside the authorised
// document (key + "_" + type + "_" + sequence + "-procEventoMDFe.xml"): the
// signed event and the authority's registration, declaration and root on one
// line.
std::string ProcEventoMDFe(const std::string& chMDFe, const EventoRegistrado& e);

// An error file: UTF-8 text, CRLF, first line "Versão UniNFe|" + version;
// `mensagemSimples` writes only the bare message.
std::string ArquivoErro(const std::string& mensagem, bool mensagemSimples = false);

// Names as the transmitter gives them.
std::string NomeNumeroLote(const std::string& chMDFe);    // MDFe<key>-num-lot.xml
std::string NomeRecibo(const std::string& lote);          // 000000000000042-rec.xml
std::string NomeProcessamento(const std::string& nRec);   // <nRec>-pro-rec.xml
std::string NomeSituacao(const std::string& chMDFe);      // <key>-sit.xml
std::string NomeEvento(const std::string& chMDFe);        // MDFe<key>-eve.xml
std::string NomeProcMDFe(const std::string& chMDFe);      // MDFe<key>-procMDFe.xml
std::string NomeProcEventoMDFe(const std::string& chMDFe,
                               const EventoRegistrado& e);   // <key>_110112_01-procEventoMDFe.xml

// A 44-digit access key with the number and numeric code in their fields
// (digits 26-34 and 36-43), the rest filled from the CNPJ and a series.
std::string ChaveAcesso(const std::string& cnpj, int numero, int codigoNumerico);

}   // namespace velmora::transmissor
