#pragma once
// The return-file processors. Each walks the company's return folder with its
// own mask, turns each file into database updates, counters and a move.
#include <string>
#include <pugixml.hpp>

namespace velmora {

class Monitor;
class FileList;

using Processador = void (*)(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1,
                             const std::string& pasta);

void ProcessaNumeroLote(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta);
void ProcessaRetornoProcessamento(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1,
                                  const std::string& pasta);
void ProcessaRetornoEvento(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta);
void ProcessaRetornoSituacao(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1,
                             const std::string& pasta);
void ProcessaErroRecibo(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta);
void ProcessaErroSituacao(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta);
void ProcessaErroProcessamento(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1,
                               const std::string& pasta);
void ProcessaErroMDFe(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta);
void ProcessaErroEnvioLote(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta);
void ProcessaErroEvento(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& pasta);

// The order in which one company pass runs them.
inline constexpr Processador kProcessadores[] = {
    ProcessaNumeroLote,    ProcessaRetornoProcessamento, ProcessaRetornoEvento, ProcessaRetornoSituacao,
    ProcessaErroRecibo,    ProcessaErroSituacao,         ProcessaErroProcessamento, ProcessaErroMDFe,
    ProcessaErroEnvioLote, ProcessaErroEvento,
};

// Shared by the processing-result, event and status-query processors.
// Looks the record up by its stored key ("MDFe" and the 44 digits) into
// it_iID_MDF (0 when absent).
void BuscaIdMDFe(Monitor& m, const std::string& chave);
// iConfirmacaoErro + 1, the file to "\Erro\", the question.
void TratamentoErro(Monitor& m, const std::string& pasta, const std::string& nome);
// The file to "\Retorno\OK\", then the outcome's counter + 1.
void TratamentoAceite(Monitor& m, const std::string& pasta, const std::string& nome, int32_t& contador);

// The protocol statement of an authorisation (processing results and status
// queries): lot or document status, protocol, processing time, MDF-e status.
std::string InstrucaoProtocolo(const std::string& cStatLote, const std::string& nProt, const std::string& dhRecbto,
                               const std::string& cStat, int32_t id);

// Prints an authorised MDF-e through the printing tool; when its authorised
// document is missing, tells the user and abandons the pass (SilentAbort).
void ImprimeMDFe(Monitor& m, int32_t id);

// The lot number written on the record.
void GravaNumeroLote(Monitor& m, int32_t id, int32_t lote);
// The receipt's statement (status as read, receipt number, time, mean time).
std::string InstrucaoRecibo(const std::string& cStat, const std::string& nRec, const std::string& dhRecbto,
                            const std::string& tMed, int32_t id);
// Reads and applies the lot's receipt (named after the lot number).
void ProcessaRecibo(Monitor& m, pugi::xml_document& vXMLDoc, FileList& FileListBox1, const std::string& lote);

} // namespace velmora
