#include "tools/transmissor/Documentos.h"

#include <cstdio>

namespace velmora::transmissor {

namespace {

std::string Elemento(const std::string& nome, const std::string& valor) {
    return "<" + nome + ">" + valor + "</" + nome + ">";
}

// Optional elements of a rejected answer are left out rather than empty.
std::string Opcional(const std::string& nome, const std::string& valor) {
    return valor.empty() ? "" : Elemento(nome, valor);
}

std::string Raiz(const std::string& nome) { return "<" + nome + " xmlns=\"" + kNamespace + "\" versao=\"3.00\">"; }

const char* const kVerAplic = "RS20261201120000";

std::string Digitos(int valor, int largura) {
    char texto[32];
    std::snprintf(texto, sizeof texto, "%0*d", largura, valor);
    return texto;
}

// The standard's XML-DSig block. Its values are placeholders: nothing on
// the monitor's side checks a signature.
std::string Assinatura(const std::string& referencia) {
    return "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"><SignedInfo>"
           "<CanonicalizationMethod Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/>"
           "<SignatureMethod Algorithm=\"http://www.w3.org/2000/09/xmldsig#rsa-sha1\"/>"
           "<Reference URI=\"#" +
           referencia +
           "\"><Transforms>"
           "<Transform Algorithm=\"http://www.w3.org/2000/09/xmldsig#enveloped-signature\"/>"
           "<Transform Algorithm=\"http://www.w3.org/TR/2001/REC-xml-c14n-20010315\"/></Transforms>"
           "<DigestMethod Algorithm=\"http://www.w3.org/2000/09/xmldsig#sha1\"/>"
           "<DigestValue>AAAAAAAAAAAAAAAAAAAAAAAAAAA=</DigestValue></Reference></SignedInfo>"
           "<SignatureValue>AAAA</SignatureValue><KeyInfo><X509Data><X509Certificate>AAAA</X509Certificate>"
           "</X509Data></KeyInfo></Signature>";
}

std::string InfProt(const std::string& chMDFe, const std::string& dhRecbto, const std::string& nProt,
                    const std::string& cStat, const std::string& xMotivo) {
    return "<protMDFe versao=\"3.00\"><infProt Id=\"MDFe" + (nProt.empty() ? std::string(15, '0') : nProt) + "\">" +
           Elemento("tpAmb", "2") + Elemento("verAplic", kVerAplic) + Elemento("chMDFe", chMDFe) +
           Elemento("dhRecbto", dhRecbto) + Opcional("nProt", nProt) +
           (nProt.empty() ? "" : Elemento("digVal", "AAAAAAAAAAAAAAAAAAAAAAAAAAA=")) + Elemento("cStat", cStat) +
           Elemento("xMotivo", xMotivo) + "</infProt></protMDFe>";
}

std::string Detalhe(const EventoRegistrado& e) {
    if (e.tpEvento == "110112")
        return "<evEncMDFe>" + Elemento("descEvento", "Encerramento") + Opcional("nProt", e.nProtDetalhe) +
               Elemento("dtEnc", "2026-12-10") + Elemento("cUF", "41") + Elemento("cMun", "4106902") + "</evEncMDFe>";
    if (e.tpEvento == "110111")
        return "<evCancMDFe>" + Elemento("descEvento", "Cancelamento") + Opcional("nProt", e.nProtDetalhe) +
               Elemento("xJust", "Cancelamento por erro de digitacao") + "</evCancMDFe>";
    if (e.tpEvento == "110114")
        return "<evIncCondutorMDFe>" + Elemento("descEvento", "Inclusao Condutor") + "<condutor>" +
               Elemento("xNome", "JOAO DA SILVA") + Elemento("CPF", "12345678909") + "</condutor></evIncCondutorMDFe>";
    return "<evMDFeRegPassAuto>" + Elemento("descEvento", "Registro de Passagem Automatico") + "</evMDFeRegPassAuto>";
}

std::string IdEvento(const std::string& chMDFe, const EventoRegistrado& e) {
    return "ID" + e.tpEvento + chMDFe + Digitos(std::stoi(e.nSeqEvento), 3);
}

// The event as the emitter signed it (eventoMDFe).
std::string EventoMDFe(const std::string& chMDFe, const EventoRegistrado& e) {
    std::string id = IdEvento(chMDFe, e);
    return "<eventoMDFe versao=\"3.00\"><infEvento Id=\"" + id + "\">" + Elemento("cOrgao", "41") +
           Elemento("tpAmb", "2") + Elemento("CNPJ", chMDFe.substr(6, 14)) + Elemento("chMDFe", chMDFe) +
           Elemento("dhEvento", e.dhEvento) + Elemento("tpEvento", e.tpEvento) + Elemento("nSeqEvento", e.nSeqEvento) +
           "<detEvento versaoEvento=\"3.00\">" + Detalhe(e) + "</detEvento></infEvento>" + Assinatura(id) +
           "</eventoMDFe>";
}

// The authority's registration of that event (retEventoMDFe).
std::string RegistroEvento(const std::string& chMDFe, const EventoRegistrado& e) {
    return "<retEventoMDFe versao=\"3.00\"><infEvento Id=\"ID" + e.nProtRegistro + "\">" + Elemento("tpAmb", "2") +
           Elemento("verAplic", kVerAplic) + Elemento("cOrgao", "41") + Elemento("cStat", "135") +
           Elemento("xMotivo", "Evento registrado e vinculado ao MDF-e") + Elemento("chMDFe", chMDFe) +
           Elemento("tpEvento", e.tpEvento) + Elemento("nSeqEvento", e.nSeqEvento) +
           Elemento("dhRegEvento", e.dhEvento) + Elemento("nProt", e.nProtRegistro) + "</infEvento></retEventoMDFe>";
}

// Inside a status-query result the schema lets procEventoMDFe hold exactly
// one element; the event itself is what a reader of the answer needs.
std::string ProcEventoNaConsulta(const std::string& chMDFe, const EventoRegistrado& e) {
    return "<procEventoMDFe versao=\"3.00\">" + EventoMDFe(chMDFe, e) + "</procEventoMDFe>";
}

// An MDF-e of the road modal with one loading and one unloading town, as
// the ERP would have sent it; only its key matters to the monitor.
std::string DocumentoMDFe(const std::string& chMDFe) {
    const std::string cnpj = chMDFe.substr(6, 14);
    const std::string serie = std::to_string(std::stoi(chMDFe.substr(22, 3)));
    const std::string nMDF = std::to_string(std::stoi(chMDFe.substr(25, 9)));
    const std::string id = "MDFe" + chMDFe;
    return "<MDFe><infMDFe versao=\"3.00\" Id=\"" + id + "\"><ide>" + Elemento("cUF", chMDFe.substr(0, 2)) +
           Elemento("tpAmb", "2") + Elemento("tpEmit", "1") + Elemento("mod", "58") + Elemento("serie", serie) +
           Elemento("nMDF", nMDF) + Elemento("cMDF", chMDFe.substr(35, 8)) + Elemento("cDV", chMDFe.substr(43, 1)) +
           Elemento("modal", "1") + Elemento("dhEmi", "2026-12-10T10:00:00-03:00") + Elemento("tpEmis", "1") +
           Elemento("procEmi", "0") + Elemento("verProc", "velmora Empresa") + Elemento("UFIni", "PR") +
           Elemento("UFFim", "SP") + "<infMunCarrega>" + Elemento("cMunCarrega", "4106902") +
           Elemento("xMunCarrega", "CURITIBA") + "</infMunCarrega></ide><emit>" + Elemento("CNPJ", cnpj) +
           Elemento("IE", "9012345678") + Elemento("xNome", "EMPRESA " + cnpj) + "<enderEmit>" +
           Elemento("xLgr", "RUA XV DE NOVEMBRO") + Elemento("nro", "100") + Elemento("xBairro", "CENTRO") +
           Elemento("cMun", "4106902") + Elemento("xMun", "CURITIBA") + Elemento("CEP", "80020000") +
           Elemento("UF", "PR") + "</enderEmit></emit><infModal versaoModal=\"3.00\"><rodo><veicTracao>" +
           Elemento("placa", "ABC1D23") + Elemento("tara", "8000") + "<condutor>" + Elemento("xNome", "JOAO DA SILVA") +
           Elemento("CPF", "12345678909") + "</condutor>" + Elemento("tpRod", "02") + Elemento("tpCar", "02") +
           Elemento("UF", "PR") + "</veicTracao></rodo></infModal><infDoc><infMunDescarga>" +
           Elemento("cMunDescarga", "3550308") + Elemento("xMunDescarga", "SAO PAULO") + "<infNFe>" +
           Elemento("chNFe", "41261212345678000195550010000012341000012340") +
           "</infNFe></infMunDescarga></infDoc>"
           "<tot>" +
           Elemento("qNFe", "1") + Elemento("vCarga", "15000.00") + Elemento("cUnid", "01") +
           Elemento("qCarga", "1000.0000") + "</tot></infMDFe>" + Assinatura(id) + "</MDFe>";
}

}   // namespace

std::string NumeroLote(const std::string& lote) {
    // Written by a .NET XML writer over UTF-8: byte-order mark and declaration.
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<DadosLoteNfe>\r\n  <NumeroLoteGerado>" + lote +
           "</NumeroLoteGerado>\r\n</DadosLoteNfe>\r\n";
}

std::string RetEnviMDFe(const Recibo& r) {
    return Raiz("retEnviMDFe") + Elemento("tpAmb", "2") + Elemento("cUF", "41") + Elemento("verAplic", kVerAplic) +
           Elemento("cStat", r.cStat) + Elemento("xMotivo", r.xMotivo) +
           (r.comInfRec ? "<infRec>" + Elemento("nRec", r.nRec) + Elemento("dhRecbto", r.dhRecbto) +
                              Elemento("tMed", r.tMed) + "</infRec>"
                        : "") +
           "</retEnviMDFe>";
}

std::string RetornoProcessamento(const Processamento& p) {
    std::string prot = p.comProtMDFe ? InfProt(p.chMDFe, p.dhRecbto, p.nProt, p.cStat, p.xMotivo) : "";
    if (p.sincrono)
        return Raiz("retMDFe") + Elemento("tpAmb", "2") + Elemento("cUF", "41") + Elemento("verAplic", kVerAplic) +
               Elemento("cStat", p.cStatLote) + Elemento("xMotivo", "Arquivo Processado") + prot + "</retMDFe>";
    return Raiz("retConsReciMDFe") + Elemento("tpAmb", "2") + Elemento("verAplic", kVerAplic) +
           Elemento("nRec", p.nRec) + Elemento("cStat", p.cStatLote) + Elemento("xMotivo", "Arquivo processado") +
           Elemento("cUF", "41") + prot + "</retConsReciMDFe>";
}

std::string RetConsSitMDFe(const Situacao& s) {
    std::string texto = Raiz("retConsSitMDFe") + Elemento("tpAmb", "2") + Elemento("verAplic", kVerAplic) +
                        Elemento("cStat", s.cStat) + Elemento("xMotivo", "Consulta de situacao") +
                        Elemento("cUF", "41");
    if (s.comProtMDFe) texto += InfProt(s.chMDFe, s.dhRecbto, s.nProt, s.cStatProt, "Autorizado o uso do MDF-e");
    for (const auto& e : s.eventos) texto += ProcEventoNaConsulta(s.chMDFe, e);
    return texto + "</retConsSitMDFe>";
}

std::string RetEventoMDFe(const Evento& e) {
    std::string texto = Raiz("retEventoMDFe");
    if (e.comInfEvento)
        texto += "<infEvento Id=\"ID" + (e.nProt.empty() ? std::string(15, '0') : e.nProt) + "\">" +
                 Elemento("tpAmb", "2") + Elemento("verAplic", kVerAplic) + Elemento("cOrgao", "41") +
                 Elemento("cStat", e.cStat) + Elemento("xMotivo", e.xMotivo) + Opcional("chMDFe", e.chMDFe) +
                 Opcional("tpEvento", e.tpEvento) + Opcional("nSeqEvento", e.nSeqEvento) +
                 Opcional("dhRegEvento", e.dhRegEvento) + Opcional("nProt", e.nProt) + "</infEvento>";
    return texto + "</retEventoMDFe>";
}

std::string ProcMDFe(const std::string& chMDFe, const std::string& nProt) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><mdfeProc xmlns=\"" + std::string(kNamespace) +
           "\" versao=\"3.00\">" + DocumentoMDFe(chMDFe) +
           InfProt(chMDFe, "2026-12-10T10:16:00-03:00", nProt, "100", "Autorizado o uso do MDF-e") + "</mdfeProc>";
}

std::string ProcEventoMDFe(const std::string& chMDFe, const EventoRegistrado& e) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><procEventoMDFe xmlns=\"" + std::string(kNamespace) +
           "\" versao=\"3.00\">" + EventoMDFe(chMDFe, e) + RegistroEvento(chMDFe, e) + "</procEventoMDFe>";
}

std::string ArquivoErro(const std::string& mensagem, bool mensagemSimples) {
    if (mensagemSimples) return mensagem + "\r\n";
    return "Versão UniNFe|5.0.0.0 - 01/12/2026\r\nErrorCode|0\r\nMessage|" + mensagem +
           "\r\nStackTrace|   at NFe.Service.Processa()\r\n";
}

std::string NomeNumeroLote(const std::string& chMDFe) { return "MDFe" + chMDFe + "-num-lot.xml"; }
std::string NomeRecibo(const std::string& lote) {
    std::string nome = lote;
    while (nome.size() < 15) nome = "0" + nome;
    return nome + "-rec.xml";
}
std::string NomeProcessamento(const std::string& nRec) { return nRec + "-pro-rec.xml"; }
std::string NomeSituacao(const std::string& chMDFe) { return chMDFe + "-sit.xml"; }
std::string NomeEvento(const std::string& chMDFe) { return "MDFe" + chMDFe + "-eve.xml"; }
std::string NomeProcMDFe(const std::string& chMDFe) { return "MDFe" + chMDFe + "-procMDFe.xml"; }
std::string NomeProcEventoMDFe(const std::string& chMDFe, const EventoRegistrado& e) {
    return chMDFe + "_" + e.tpEvento + "_" + Digitos(std::stoi(e.nSeqEvento), 2) + "-procEventoMDFe.xml";
}

std::string ChaveAcesso(const std::string& cnpj, int numero, int codigoNumerico) {
    std::string cnpj14 = cnpj;
    while (cnpj14.size() < 14) cnpj14 = "0" + cnpj14;
    std::string chave = "41" + std::string("2612") + cnpj14.substr(0, 14) + "58" + "001" + Digitos(numero, 9) + "1" +
                        Digitos(codigoNumerico, 8);
    // Check digit: modulus 11 with weights 2..9 from the right.
    int soma = 0, peso = 2;
    for (auto it = chave.rbegin(); it != chave.rend(); ++it) {
        soma += (*it - '0') * peso;
        peso = peso == 9 ? 2 : peso + 1;
    }
    int resto = soma % 11;
    int dv = (resto == 0 || resto == 1) ? 0 : 11 - resto;
    return chave + std::to_string(dv);
}

}   // namespace velmora::transmissor
