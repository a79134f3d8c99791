#pragma once
// The return-file processors, in the order one company pass runs them. Each
// row is a processor: its name, the mask it lists the return folder with,
// what it does with one file, and what comes before each of its turns.
#include <cstdint>
#include <string>
#include "processors/Passagem.h"

namespace velmora {

// One file each.
Resultado TrataNumeroLote(PassagemEmpresa& p, const std::string& nome);
Resultado TrataRetornoProcessamento(PassagemEmpresa& p, const std::string& nome);
Resultado TrataRetornoEvento(PassagemEmpresa& p, const std::string& nome);
Resultado TrataRetornoSituacao(PassagemEmpresa& p, const std::string& nome);
Resultado TrataErroRecibo(PassagemEmpresa& p, const std::string& nome);
Resultado TrataErroSituacao(PassagemEmpresa& p, const std::string& nome);
Resultado TrataErroProcessamento(PassagemEmpresa& p, const std::string& nome);
Resultado TrataErroMDFe(PassagemEmpresa& p, const std::string& nome);
Resultado TrataErroEnvioLote(PassagemEmpresa& p, const std::string& nome);
Resultado TrataErroEvento(PassagemEmpresa& p, const std::string& nome);

// The transmitter may still be writing a processing result it has just
// dropped: each turn waits for it first.
void AguardaRetornoProcessamento(PassagemEmpresa& p, const std::string& nome);

// "*-rec.err*" also matches every "*-pro-rec.err*" name; since the receipt
// errors are walked first, a processing error present when the pass starts
// is counted as a lot with error.
inline constexpr Processador kProcessadores[] = {
    {"ProcessaNumeroLote", "MDFe*-num-lot.xml*", TrataNumeroLote, nullptr},
    {"ProcessaRetornoProcessamento", "*-pro-rec.xml*", TrataRetornoProcessamento, AguardaRetornoProcessamento},
    {"ProcessaRetornoEvento", "MDFe*-eve.xml*", TrataRetornoEvento, nullptr},
    {"ProcessaRetornoSituacao", "*-sit.xml*", TrataRetornoSituacao, nullptr},
    {"ProcessaErroRecibo", "*-rec.err*", TrataErroRecibo, nullptr},
    {"ProcessaErroSituacao", "*-sit.err*", TrataErroSituacao, nullptr},
    {"ProcessaErroProcessamento", "*-pro-rec.err*", TrataErroProcessamento, nullptr},
    {"ProcessaErroMDFe", "*mdfe.err*", TrataErroMDFe, nullptr},
    {"ProcessaErroEnvioLote", "*env-loterps.err*", TrataErroEnvioLote, nullptr},
    {"ProcessaErroEvento", "*-eve.err*", TrataErroEvento, nullptr},
};

// Shared by the processing-result, event and status-query processors and the
// lot's receipt. Both move the file first: what follows happens only when
// this monitor moved it.
// The file to "\Erro\", then iConfirmacaoErro + 1 (and `outro` + 1), the
// question.
Resultado TratamentoErro(PassagemEmpresa& p, const std::string& nome, int32_t Contadores::*outro = nullptr);
// The file to "\Retorno\OK\", then the outcome's counter + 1.
Resultado TratamentoAceite(PassagemEmpresa& p, const std::string& nome, int32_t Contadores::*contador);

// The protocol statement of an authorisation (processing results and status
// queries): lot or document status, protocol, processing time, MDF-e status.
std::string InstrucaoProtocolo(const std::string& cStatLote, const std::string& nProt, const std::string& dhRecbto,
                               const std::string& cStat, int32_t id);

// Prints an authorised MDF-e through the printing tool; when its authorised
// document is missing, tells the user and abandons the pass (SilentAbort).
void ImprimeMDFe(PassagemEmpresa& p, int32_t id);

// The lot number written on the record.
void GravaNumeroLote(PassagemEmpresa& p, int32_t id, int32_t lote);
// The receipt's statement (status as read, receipt number, time, mean time).
std::string InstrucaoRecibo(const std::string& cStat, const std::string& nRec, const std::string& dhRecbto,
                            const std::string& tMed, int32_t id);
// Reads and applies the lot's receipt (named after the lot number) for the
// record `id`. False when the receipt is there but still being written.
bool ProcessaRecibo(PassagemEmpresa& p, const std::string& lote, int32_t id);

}   // namespace velmora
