#include "tools/transmissor/Cenarios.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include "platform/Error.h"
#include "tools/transmissor/Documentos.h"

namespace velmora::transmissor {

namespace {

using Contador = int32_t Contadores::*;

Contadores Conta(std::initializer_list<Contador> contadores) {
    Contadores c;
    for (Contador k : contadores) ++(c.*k);
    return c;
}

void Soma(Contadores& total, const Contadores& c) {
    total.iLotesProcessados += c.iLotesProcessados;
    total.iPedidosGerados += c.iPedidosGerados;
    total.iConfirmacaoRecebida += c.iConfirmacaoRecebida;
    total.iMDFeAutorizada += c.iMDFeAutorizada;
    total.iMDFeCancelada += c.iMDFeCancelada;
    total.iMDFeEncerrada += c.iMDFeEncerrada;
    total.iConsultasMDFe += c.iConsultasMDFe;
    total.iSolicitacaoInconsistente += c.iSolicitacaoInconsistente;
    total.iLotesErro += c.iLotesErro;
    total.iConfirmacaoErro += c.iConfirmacaoErro;
    total.iMDFeErro += c.iMDFeErro;
    total.iConsultasMDFeErro += c.iConsultasMDFeErro;
}

std::string Zeros(long long valor, int largura) {
    char texto[32];
    std::snprintf(texto, sizeof texto, "%0*lld", largura, valor);
    return texto;
}

// Fifteen-digit numbers of the authority (receipts, protocols), different
// for every record and purpose.
std::string Numero15(int prefixo, int id) { return "9" + Zeros(prefixo, 6) + Zeros(id, 8); }

std::string SoDigitos(const std::string& texto) {
    std::string digitos;
    for (char c : texto)
        if (c >= '0' && c <= '9') digitos += c;
    return digitos;
}

// A key that no record of the database carries: the number and numeric code
// lie far beyond what the ERP hands out.
std::string ChaveDesconhecida(const Empresa& e, int n) {
    return ChaveAcesso(SoDigitos(e.cnpj), 990000000 + n, 99000000 + n);
}

// The lot number of a record, as the receipt's name carries it.
std::string ZerosEsquerdaLote(const Registro& r) { return Zeros(100 + r.idMdf, 15); }

const char* const kDia = "2026-12-10T";
std::string Hora(const std::string& hhmmss, const std::string& fuso = "-03:00") { return kDia + hhmmss + fuso; }

// The error file texts: the transmitter's own error file, and the bare
// message of a schema failure, whose only line names the MDF-e namespace.
std::string ErroCompleto(const std::string& mensagem) { return ArquivoErro(mensagem); }
std::string ErroDeSchema() {
    return ArquivoErro(std::string("Ocorreu um erro ao validar o XML: O elemento 'enviMDFe' no namespace '") +
                           kNamespace + "' tem o elemento filho 'idLote' inválido.",
                       true);
}

class Construtor {
public:
    Construtor(const Empresa& empresa, std::string anoMes) : empresa_(empresa), anoMes_(std::move(anoMes)) {}

    Plano plano;

    const Empresa& empresa() const { return empresa_; }

    void Retorno(const std::string& nome, const std::string& conteudo, Destino destino, Contadores contadores,
                 const std::string& descricao) {
        plano.arquivos.push_back(
            {"Retorno\\", nome, conteudo, destino, contadores, destino == Destino::Erro, descricao});
    }
    // A file that goes to "\Erro\" without a question of its own (the
    // receipt that follows an unmatched lot-number file).
    void RetornoSemPergunta(const std::string& nome, const std::string& conteudo, Destino destino,
                            const std::string& descricao) {
        plano.arquivos.push_back({"Retorno\\", nome, conteudo, destino, {}, false, descricao});
    }
    void Guardado(const std::string& nome, const std::string& conteudo, const std::string& descricao) {
        plano.arquivos.push_back(
            {"Enviado\\Autorizados\\" + anoMes_ + "\\", nome, conteudo, Destino::Guardado, {}, false, descricao});
    }

    // The expected row of a record; it joins the plan on first use, with
    // its driver rows untouched.
    ValoresMdfe& Linha(const Registro& r) {
        for (auto& l : plano.mdfe)
            if (l.idMdf == r.idMdf) return l.colunas;
        plano.mdfe.push_back({r.idMdf, {}});
        for (const Condutor& c : r.condutores) plano.condutores.push_back({c.id, {}, {}, {}});
        return plano.mdfe.back().colunas;
    }
    LinhaCondutor& LinhaDoCondutor(const Registro& r, std::optional<int> seq) {
        Linha(r);
        for (const Condutor& c : r.condutores)
            if (seq && c.seqEvento == seq)
                for (auto& l : plano.condutores)
                    if (l.id == c.id) return l;
        semLinha_ = {};
        return semLinha_;
    }

private:
    const Empresa& empresa_;
    std::string anoMes_;
    LinhaCondutor semLinha_;   // a result that fills no driver row writes here
};

enum Coluna {
    kLote,
    kStRecebto,
    kRecibo,
    kDhRecebto,
    kMedia,
    kStLote,
    kProtocolo,
    kDhProcessa,
    kStMdfe,
    kProtEnc,
    kDhEnc,
    kStEnc,
    kProtCan,
    kDhCan,
    kStCan
};

// ---- building blocks: one per kind of result, each with its expectation ----

// The lot-number file and, when `recibo` is given, the lot's receipt.
void Lote(Construtor& b, const Registro& r, const std::optional<Recibo>& recibo, const std::string& descricao) {
    const std::string lote = std::to_string(100 + r.idMdf);
    auto& l = b.Linha(r);
    l[kLote] = lote;
    b.Retorno(NomeNumeroLote(r.chave), NumeroLote(lote), Destino::Ok, Conta({&Contadores::iLotesProcessados}),
              "número do lote " + lote + " (" + descricao + ")");
    if (!recibo) return;
    Recibo rec = *recibo;
    rec.nRec = Numero15(190001, r.idMdf);
    l[kStRecebto] = rec.cStat;
    l[kRecibo] = rec.nRec;
    l[kDhRecebto] = DataHoraBanco(rec.dhRecbto);
    l[kMedia] = rec.tMed;
    if (rec.cStat == "103")
        b.Retorno(NomeRecibo(lote), RetEnviMDFe(rec), Destino::Ok,
                  Conta({&Contadores::iConfirmacaoRecebida, &Contadores::iPedidosGerados}), "recibo do lote, 103");
    else
        b.Retorno(NomeRecibo(lote), RetEnviMDFe(rec), Destino::Erro, Conta({&Contadores::iConfirmacaoErro}),
                  "recibo do lote, " + rec.cStat);
}

// A processing result of the record's lot (the receipt query's answer, or
// the synchronous answer) with the MDF-e's own status inside.
void Autorizacao(Construtor& b, const Registro& r, bool sincrono, const std::string& cStat,
                 const std::string& nomeArquivo) {
    Processamento p;
    p.sincrono = sincrono;
    p.chMDFe = r.chave;
    p.nRec = Numero15(190001, r.idMdf);
    p.dhRecbto = Hora("08:00:30");
    p.cStat = cStat;
    p.nProt = cStat == "100" ? Numero15(260001, r.idMdf) : "";
    p.xMotivo = cStat == "100" ? "Autorizado o uso do MDF-e" : "Rejeicao: Duplicidade de MDF-e";
    auto& l = b.Linha(r);
    l[kStLote] = "104";
    l[kProtocolo] = p.nProt.empty() ? std::nullopt : std::optional(p.nProt);
    l[kDhProcessa] = DataHoraBanco(p.dhRecbto);
    l[kStMdfe] = cStat;
    const std::string tipo = sincrono ? "resposta síncrona" : "consulta do recibo";
    if (cStat == "100") {
        b.Retorno(nomeArquivo, RetornoProcessamento(p), Destino::Ok, Conta({&Contadores::iMDFeAutorizada}),
                  tipo + ", 104/100: autorizada e impressa");
        b.Guardado(NomeProcMDFe(r.chave), ProcMDFe(r.chave, p.nProt), "MDF-e autorizado, para a impressão");
        b.plano.impressoes.push_back(r.chave);
    } else {
        b.Retorno(nomeArquivo, RetornoProcessamento(p), Destino::Erro,
                  Conta({&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro}), tipo + ", 104/" + cStat);
    }
}

void ResultadoProcessamento(Construtor& b, const Registro& r, const std::string& cStat) {
    Autorizacao(b, r, false, cStat, NomeProcessamento(Numero15(190001, r.idMdf)));
}
void ResultadoSincrono(Construtor& b, const Registro& r) {
    Autorizacao(b, r, true, "100", NomeProcessamento(ZerosEsquerdaLote(r)));
}

// An event result. `nProt` empty: a rejection without protocol, key, type
// and sequence, matched through the file name.
struct EventoPedido {
    std::string tpEvento;
    std::string cStat = "135";
    std::string nSeq = "001";
    bool semProtocolo = false;
    std::string sufixoNome;   // text after "-eve.xml" (an older copy)
    std::string hora = "18:30:00";
    int variante = 0;   // tells protocols of two results apart

    EventoPedido& ComStatus(std::string v) {
        cStat = std::move(v);
        return *this;
    }
    EventoPedido& ComSequencia(std::string v) {
        nSeq = std::move(v);
        return *this;
    }
    EventoPedido& SemProtocolo() {
        semProtocolo = true;
        return *this;
    }
    EventoPedido& ComSufixo(std::string v) {
        sufixoNome = std::move(v);
        return *this;
    }
    EventoPedido& AsHoras(std::string v) {
        hora = std::move(v);
        return *this;
    }
    EventoPedido& Variante(int v) {
        variante = v;
        return *this;
    }
};

EventoPedido Pedido(std::string tpEvento) {
    EventoPedido p;
    p.tpEvento = std::move(tpEvento);
    return p;
}

void EventoDe(Construtor& b, const Registro& r, const EventoPedido& p, Destino destino, Contadores contadores,
              const std::string& descricao) {
    Evento e;
    e.chMDFe = p.semProtocolo ? "" : r.chave;
    e.cStat = p.cStat;
    e.tpEvento = p.semProtocolo ? "" : p.tpEvento;
    e.nSeqEvento = p.semProtocolo ? "" : p.nSeq;
    e.nProt = p.semProtocolo ? "" : Numero15(261001 + p.variante, r.idMdf);
    e.dhRegEvento = Hora(p.hora);
    if (p.semProtocolo) e.xMotivo = "Rejeicao: MDF-e autorizado ha mais de 24 horas";
    else if (p.cStat != "135") e.xMotivo = "Evento registrado, mas nao vinculado ao MDF-e";
    b.Retorno(NomeEvento(r.chave) + p.sufixoNome, RetEventoMDFe(e), destino, contadores, descricao);
}

// The expectation of an event result for a record of the database.
void Evento_(Construtor& b, const Registro& r, const EventoPedido& p) {
    const bool aceito = p.cStat == "135";
    const Contadores erro = Conta({&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro});
    const std::string nProt = Numero15(261001 + p.variante, r.idMdf);
    const std::string dh = DataHoraBanco(Hora(p.hora));
    auto& l = b.Linha(r);
    if (p.semProtocolo) {
        EventoDe(b, r, p, Destino::Erro, erro, "evento rejeitado " + p.cStat + " sem protocolo nem chave");
        return;
    }
    if (p.tpEvento == "110112" || p.tpEvento == "110111") {
        const bool enc = p.tpEvento == "110112";
        l[enc ? kProtEnc : kProtCan] = nProt;
        l[enc ? kDhEnc : kDhCan] = dh;
        l[enc ? kStEnc : kStCan] = p.cStat;
        Contadores ok = Conta({enc ? &Contadores::iMDFeEncerrada : &Contadores::iMDFeCancelada});
        EventoDe(b, r, p, aceito ? Destino::Ok : Destino::Erro, aceito ? ok : erro,
                 std::string(enc ? "encerramento " : "cancelamento ") + p.cStat);
    } else if (p.tpEvento == "110114") {
        std::optional<int> seq;
        if (!p.nSeq.empty()) seq = std::stoi(p.nSeq);
        LinhaCondutor& c = b.LinhaDoCondutor(r, seq);
        if (!c.protocolo && !c.dataHora) {
            c.protocolo = nProt;
            c.dataHora = dh;
            c.status = p.cStat;
        }
        EventoDe(b, r, p, aceito ? Destino::Ok : Destino::Erro,
                 aceito ? Conta({&Contadores::iConfirmacaoRecebida}) : erro,
                 "inclusão de condutor " + p.cStat + (p.nSeq.empty() ? " sem sequência" : ", sequência " + p.nSeq));
    } else {
        EventoDe(b, r, p, Destino::Retorno, {}, "evento " + p.tpEvento + " que o monitor não registra: fica");
    }
    if (aceito && p.variante == 0) {
        EventoRegistrado registrado{p.tpEvento, Hora(p.hora), "", p.nSeq.empty() ? "1" : p.nSeq, nProt};
        b.Guardado(NomeProcEventoMDFe(r.chave, registrado), ProcEventoMDFe(r.chave, registrado), "evento registrado");
    }
}

// A status-query result for a record of the database.
void Situacao_(Construtor& b, const Registro& r, const std::string& cStat, std::vector<EventoRegistrado> eventos,
               const std::string& descricao) {
    Situacao s;
    s.chMDFe = r.chave;
    s.cStat = cStat;
    s.nProt = Numero15(260001, r.idMdf);
    s.dhRecbto = Hora("07:45:10", "-02:00");
    const bool aceito = cStat == "100" || cStat == "101" || cStat == "132";
    s.comProtMDFe = aceito;
    for (auto& e : eventos) {
        if (e.nProtDetalhe == "*") e.nProtDetalhe = Numero15(262001, r.idMdf);
        e.nProtRegistro = Numero15(263001, r.idMdf);
    }
    s.eventos = eventos;
    auto& l = b.Linha(r);
    if (!aceito) {
        b.Retorno(NomeSituacao(r.chave), RetConsSitMDFe(s), Destino::Erro,
                  Conta({&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro}), descricao);
        return;
    }
    l[kStLote] = cStat;
    l[kProtocolo] = s.nProt;
    l[kDhProcessa] = DataHoraBanco(s.dhRecbto);
    l[kStMdfe] = "100";
    // The first event decides: a closing or cancellation is recorded; behind
    // passage registrations the first closing or cancellation is; behind
    // anything else nothing is. One without a protocol writes nothing.
    auto encerraOuCancela = [](const EventoRegistrado& e) { return e.tpEvento == "110112" || e.tpEvento == "110111"; };
    const EventoRegistrado* gravado = nullptr;
    if (!eventos.empty()) {
        const std::string primeiro = eventos.front().tpEvento;
        if (primeiro == "310620" || primeiro == "510620") {
            auto it = std::find_if(eventos.begin(), eventos.end(), encerraOuCancela);
            if (it != eventos.end()) gravado = &*it;
        } else if (encerraOuCancela(eventos.front())) {
            gravado = &eventos.front();
        }
    }
    if (gravado && !gravado->nProtDetalhe.empty()) {
        const bool enc = gravado->tpEvento == "110112";
        l[enc ? kProtEnc : kProtCan] = gravado->nProtDetalhe;
        l[enc ? kDhEnc : kDhCan] = DataHoraBanco(gravado->dhEvento);
        l[enc ? kStEnc : kStCan] = "135";
    }
    b.Retorno(NomeSituacao(r.chave), RetConsSitMDFe(s), Destino::Ok, Conta({&Contadores::iMDFeAutorizada}), descricao);
}

// ---- scenarios ----

// A full day: every outcome of every processor, on 15 records.
void Dia(Construtor& b) {
    const auto& r = b.empresa().registros;
    const Contadores erroConfirmacao = Conta({&Contadores::iConfirmacaoErro});

    // 1: lot, receipt 103, authorised, closed.
    Recibo recibo08;
    recibo08.dhRecbto = Hora("08:00:05");
    Lote(b, r[0], recibo08, "recibo 103");
    ResultadoProcessamento(b, r[0], "100");
    Evento_(b, r[0], Pedido("110112"));
    // 2: lot without its receipt yet, synchronous authorisation, cancelled.
    Lote(b, r[1], std::nullopt, "recibo ainda não chegou");
    ResultadoSincrono(b, r[1]);
    Evento_(b, r[1], Pedido("110111").AsHoras("19:05:00"));
    // 3: a driver included after authorisation (sequence 1).
    Evento_(b, r[2], Pedido("110114"));
    // 4: lot, receipt 103, MDF-e rejected.
    Lote(b, r[3], recibo08, "recibo 103");
    ResultadoProcessamento(b, r[3], "204");
    // 5: lot whose receipt was refused.
    Recibo recusado;
    recusado.cStat = "225";
    recusado.xMotivo = "Rejeicao: Falha no Schema XML do MDF-e";
    recusado.dhRecbto = Hora("09:10:00");
    recusado.tMed = "2";
    Lote(b, r[4], recusado, "recibo 225");
    // 6 to 9: status queries.
    Situacao_(b, r[5], "100", {}, "consulta 100, sem eventos");
    Situacao_(b, r[6], "132",
              {{"310620", Hora("12:00:00")}, {"510620", Hora("13:00:00")}, {"110112", Hora("17:45:00"), "*"}},
              "consulta 132: passagens e encerramento");
    Situacao_(b, r[7], "101", {{"110111", Hora("11:20:00"), "*"}}, "consulta 101: cancelamento");
    Situacao_(b, r[8], "217", {}, "consulta 217: rejeitada");
    // 10 to 14: events that were not registered.
    Evento_(b, r[9], Pedido("110112").ComStatus("220").SemProtocolo());
    Evento_(b, r[10], Pedido("110112").ComStatus("136"));
    Evento_(b, r[11], Pedido("110111").ComStatus("136"));
    Evento_(b, r[12], Pedido("110114").ComStatus("136").ComSequencia("002"));
    // 15: an event of a type the monitor does not record.
    Evento_(b, r[13], Pedido("110115"));

    // Results for MDF-e that are not in the database.
    const std::string d = ChaveDesconhecida(b.empresa(), 1);
    b.Retorno(NomeNumeroLote(d), NumeroLote("77"), Destino::Erro,
              Conta({&Contadores::iConfirmacaoErro, &Contadores::iLotesErro}), "número do lote de MDF-e desconhecido");
    b.RetornoSemPergunta(NomeRecibo("77"), RetEnviMDFe(recibo08), Destino::Erro,
                         "recibo que segue o lote desconhecido");
    Processamento emProcessamento;
    emProcessamento.cStatLote = "105";
    emProcessamento.comProtMDFe = false;
    emProcessamento.nRec = Numero15(190002, r[14].idMdf);
    b.Retorno(NomeProcessamento(emProcessamento.nRec), RetornoProcessamento(emProcessamento), Destino::Erro,
              erroConfirmacao, "consulta do recibo, lote 105 em processamento");
    Processamento desconhecido;
    desconhecido.chMDFe = ChaveDesconhecida(b.empresa(), 2);
    desconhecido.nRec = Numero15(190003, r[14].idMdf);
    b.Retorno(NomeProcessamento(desconhecido.nRec), RetornoProcessamento(desconhecido), Destino::Erro, erroConfirmacao,
              "autorização de MDF-e desconhecido");
    Evento eventoDesconhecido;
    eventoDesconhecido.chMDFe = ChaveDesconhecida(b.empresa(), 3);
    b.Retorno(NomeEvento(eventoDesconhecido.chMDFe), RetEventoMDFe(eventoDesconhecido), Destino::Erro, erroConfirmacao,
              "encerramento de MDF-e desconhecido");
    Situacao situacaoDesconhecida;
    situacaoDesconhecida.chMDFe = ChaveDesconhecida(b.empresa(), 4);
    b.Retorno(NomeSituacao(situacaoDesconhecida.chMDFe), RetConsSitMDFe(situacaoDesconhecida), Destino::Erro,
              Conta({&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro}), "consulta de MDF-e desconhecido");

    // The six kinds of error file. A processing error present when the pass
    // starts is taken by the receipt-error step ("*-rec.err*" covers it).
    b.Retorno(ZerosEsquerdaLote(r[14]) + "-rec.err", ErroCompleto("Falha ao enviar o lote: tempo esgotado"),
              Destino::Erro, Conta({&Contadores::iLotesErro}), "erro do recibo");
    b.Retorno("MDFe" + r[5].chave + "-sit.err", ErroCompleto("Falha na consulta da situação do MDF-e"), Destino::Erro,
              Conta({&Contadores::iConsultasMDFeErro}), "erro da consulta da situação");
    b.Retorno(Numero15(190004, r[14].idMdf) + "-pro-rec.err", ErroCompleto("Falha na consulta do recibo"),
              Destino::Erro, Conta({&Contadores::iLotesErro}), "erro da consulta do recibo (passo dos recibos)");
    b.Retorno(r[3].chave + "-mdfe.err", ErroCompleto("Falha ao assinar o MDF-e"), Destino::Erro, erroConfirmacao,
              "erro do MDF-e");
    b.Retorno(ZerosEsquerdaLote(r[4]) + "-env-loterps.err", ErroDeSchema(), Destino::Erro, erroConfirmacao,
              "erro do envio do lote (mensagem simples)");
    b.Retorno("MDFe" + r[10].chave + "-eve.err", ErroCompleto("Falha ao enviar o evento"), Destino::Erro,
              Conta({&Contadores::iConsultasMDFeErro}), "erro do evento");
}

// A minute of answers on a busy morning: the authority answers the lots and
// status queries of 60 MDF-e one after the other, all of them accepted. One
// in ten is a processing result (authorised and printed), the rest status
// queries (100, no events).
constexpr int kRegistrosMinuto = 60;
void Minuto(Construtor& b) {
    const auto& r = b.empresa().registros;
    for (size_t i = 0; i < kRegistrosMinuto; ++i) {
        if (i % 10 == 0) ResultadoProcessamento(b, r[i], "100");
        else Situacao_(b, r[i], "100", {}, "consulta 100, sem eventos");
    }
}

// Bad cases the monitor files away or steps past without stopping.
void Ruins(Construtor& b) {
    const auto& r = b.empresa().registros;
    // A receipt written with its declaration on a line of its own fails the
    // MDF-e test: the lot number is stored and the receipt stays.
    const std::string lote = std::to_string(100 + r[0].idMdf);
    b.Linha(r[0])[kLote] = lote;
    b.Retorno(NomeNumeroLote(r[0].chave), NumeroLote(lote), Destino::Ok, Conta({&Contadores::iLotesProcessados}),
              "número do lote cujo recibo não passa no teste");
    b.Retorno(NomeRecibo(lote), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + RetEnviMDFe(Recibo{}),
              Destino::Retorno, {}, "recibo com a declaração numa linha própria: fica");
    // Driver inclusions: with the sequence "01", again for the same row (an
    // older copy of the name), and without a sequence.
    Evento_(b, r[1], Pedido("110114").ComSequencia("01").AsHoras("10:00:00"));
    Evento_(b, r[1], Pedido("110114").ComSequencia("1").ComSufixo(".old").AsHoras("10:30:00").Variante(1));
    Evento_(b, r[1], Pedido("110114").ComSequencia("").ComSufixo(".sem-seq").AsHoras("10:45:00").Variante(2));
    // A denied MDF-e.
    ResultadoProcessamento(b, r[2], "302");
    // Names without a key, results of unknown MDF-e.
    Situacao s;
    s.chMDFe = r[2].chave;
    b.Retorno("consulta-sit.xml", RetConsSitMDFe(s), Destino::Erro,
              Conta({&Contadores::iConfirmacaoErro, &Contadores::iMDFeErro}), "consulta com nome sem chave");
    Evento semChave;
    semChave.chMDFe = "";
    semChave.nProt = "";
    semChave.tpEvento = "";
    semChave.nSeqEvento = "";
    semChave.cStat = "220";
    b.Retorno("MDFe-sem-chave-eve.xml", RetEventoMDFe(semChave), Destino::Erro, Conta({&Contadores::iConfirmacaoErro}),
              "evento rejeitado com nome sem chave");
    // Files that are not recognised as MDF-e: they stay.
    Processamento p;
    p.chMDFe = r[2].chave;
    b.Retorno(Numero15(190009, r[2].idMdf) + "-pro-rec.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + RetornoProcessamento(p), Destino::Retorno, {},
              "resultado com a declaração numa linha própria: fica");
    b.Retorno(ZerosEsquerdaLote(r[2]) + "-env-loterps.err", ErroCompleto("Falha no envio do lote"), Destino::Retorno,
              {}, "erro de envio sem MDF-e no nome nem na primeira linha: fica");
    b.Retorno(r[2].chave + "-sit.err", ErroCompleto("Falha na consulta"), Destino::Retorno, {},
              "erro de consulta sem MDF-e no nome nem na primeira linha: fica");
    // A receipt error is moved whatever its first line says.
    b.Retorno(ZerosEsquerdaLote(r[2]) + "-rec.err", "Erro desconhecido\r\n", Destino::Erro,
              Conta({&Contadores::iLotesErro}), "erro do recibo só com a mensagem");
}

// Files that stop the monitor's pass (the file stays, the cycle ends and
// the monitor waits for "Reiniciar"); one per scenario.
void Defeito(Construtor& b, const std::string& tipo) {
    const Registro& r = b.empresa().registros[0];
    const std::string lote = std::to_string(100 + r.idMdf);
    if (tipo == "xml-quebrado") {
        Situacao s;
        s.chMDFe = r.chave;
        std::string texto = RetConsSitMDFe(s);
        b.Retorno(NomeSituacao(r.chave), texto.substr(0, texto.size() / 2), Destino::Retorno, {},
                  "consulta cortada ao meio: o XML não se lê");
        b.Linha(r);
    } else if (tipo == "sem-infrec") {
        Recibo rec;
        rec.comInfRec = false;
        b.Linha(r)[kLote] = lote;   // stored and committed before the receipt fails
        b.Retorno(NomeNumeroLote(r.chave), NumeroLote(lote), Destino::Retorno, {}, "número do lote");
        b.Retorno(NomeRecibo(lote), RetEnviMDFe(rec), Destino::Retorno, {}, "recibo sem infRec");
    } else if (tipo == "sem-protmdfe") {
        Processamento p;
        p.chMDFe = r.chave;
        p.comProtMDFe = false;
        b.Retorno(NomeProcessamento(Numero15(190001, r.idMdf)), RetornoProcessamento(p), Destino::Retorno, {},
                  "consulta do recibo 104 sem protMDFe");
        b.Linha(r);
    } else if (tipo == "sem-infevento") {
        Evento e;
        e.comInfEvento = false;
        b.Retorno(NomeEvento(r.chave), RetEventoMDFe(e), Destino::Retorno, {}, "resultado de evento sem infEvento");
        b.Linha(r);
    } else {
        throw Error("defeito desconhecido: " + tipo);
    }
}

}   // namespace

const char* NomeDestino(Destino d) {
    switch (d) {
    case Destino::Retorno: return "Retorno";
    case Destino::Ok: return "Retorno\\OK";
    case Destino::Erro: return "Erro";
    case Destino::Guardado: return "guardado";
    }
    return "";
}

Contadores Plano::Total() const {
    Contadores total;
    for (const auto& a : arquivos) Soma(total, a.contadores);
    return total;
}

int Plano::Perguntas() const {
    return static_cast<int>(
        std::count_if(arquivos.begin(), arquivos.end(), [](const Arquivo& a) { return a.pergunta; }));
}

const std::vector<Cenario>& Cenarios() {
    static const std::vector<Cenario> cenarios = {
        {"dia", "um dia inteiro: cada resultado de cada processador", 15},
        {"ruins", "casos ruins que o monitor arquiva ou deixa de lado", 3},
        {"minuto", "um minuto de respostas: 6 autorizações e 54 consultas aceitas", kRegistrosMinuto},
        {"defeito:xml-quebrado", "consulta que não se lê: o passe para", 1},
        {"defeito:sem-infrec", "recibo sem infRec: o passe para depois de gravar o lote", 1},
        {"defeito:sem-protmdfe", "resultado 104 sem protMDFe: o passe para", 1},
        {"defeito:sem-infevento", "resultado de evento sem infEvento: o passe para", 1},
    };
    return cenarios;
}

std::vector<std::optional<int>> CondutoresNecessarios(const std::string& cenario, int indice) {
    if (cenario == "dia" && indice == 2) return {std::nullopt, 1};   // the first driver and the included one
    if (cenario == "dia" && indice == 12) return {2};
    if (cenario == "ruins" && indice == 1) return {1, 3};
    return {};
}

Plano MontaPlano(const std::string& cenario, const Empresa& empresa, const std::string& anoMes) {
    const Cenario* c = nullptr;
    for (const auto& k : Cenarios())
        if (cenario == k.nome) c = &k;
    if (!c) throw Error("cenário desconhecido: " + cenario);
    if (static_cast<int>(empresa.registros.size()) < c->registros)
        throw Error("o cenário " + cenario + " precisa de " + std::to_string(c->registros) + " MDF-e da empresa " +
                    empresa.cnpj + "; há " + std::to_string(empresa.registros.size()));
    Construtor b(empresa, anoMes);
    // Every record of the company is expected as the scenario leaves it,
    // untouched ones included.
    for (const Registro& r : empresa.registros) b.Linha(r);
    if (cenario == "dia") Dia(b);
    else if (cenario == "ruins") Ruins(b);
    else if (cenario == "minuto") Minuto(b);
    else Defeito(b, cenario.substr(cenario.find(':') + 1));
    return std::move(b.plano);
}

std::string DataHoraBanco(const std::string& d) {
    if (d.size() < 19) return d;
    return d.substr(0, 10) + " " + d.substr(11, 8);
}

}   // namespace velmora::transmissor
