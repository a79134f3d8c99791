#pragma once
// What the transmitter stand-in drops into a company's exchange folders for
// a scenario, and what the monitor is expected to make of it: where each
// file ends up, which counters it raises, whether the user is asked about
// it, and the MDF-e and driver rows afterwards. The stand-in tool writes a
// plan and prints it; the end-to-end tests compare a real run against it.
#include <array>
#include <optional>
#include <string>
#include <vector>
#include "monitor/UserInterface.h"

namespace velmora::transmissor {

// A driver row of an MDF-e (MOV_MDF_CONDUTOR).
struct Condutor {
    int id = 0;
    std::optional<int> seqEvento;
};

// An MDF-e record of the company: id_mdf, the 44-digit key, its drivers.
struct Registro {
    int idMdf = 0;
    std::string chave;
    std::vector<Condutor> condutores;
};

struct Empresa {
    std::string cnpj;
    std::vector<Registro> registros;   // in id_mdf order
};

// Where a file should be once the monitor is done with it. `Guardado` is a
// document the transmitter stores for itself (authorised MDF-e, registered
// event): the monitor reads it at most and never moves it.
enum class Destino { Retorno, Ok, Erro, Guardado };
const char* NomeDestino(Destino d);

struct Arquivo {
    std::string pasta;   // below the company folder, Windows form, ends in "\"
    std::string nome;
    std::string conteudo;
    Destino destino = Destino::Retorno;
    Contadores contadores;   // what handling this file adds
    bool pergunta = false;   // the monitor asks whether to show it
    std::string descricao;
};

// The mov_mdfe columns the monitor writes, in this order.
inline constexpr std::array<const char*, 15> kColunasMdfe = {
    "NO_LOTE_MDFE",          "cd_st_recebto_mdfe",     "no_recibo_mdfe",
    "dh_recebto_mdfe",       "qt_media_resposta_mdfe", "cd_st_lote_mdfe",
    "NO_PROTOCOLO_MDFE",     "DH_PROCESSA_MDFE",       "CD_ST_MDFE",
    "NO_PROTOCOLO_ENC_MDFE", "DH_PROCESSA_ENC_MDFE",   "CD_ST_ENC_MDFE",
    "NO_PROTOCOLO_CAN_MDFE", "DH_PROCESSA_CAN_MDFE",   "CD_ST_CAN_MDFE"};

// Values as the database gives them back as text: numbers in decimal,
// date-times as "yyyy-mm-dd hh:mm:ss"; nullopt is null. A record starts with
// every column null.
using ValoresMdfe = std::array<std::optional<std::string>, kColunasMdfe.size()>;
struct LinhaMdfe {
    int idMdf = 0;
    ValoresMdfe colunas;
};
// NO_PROTOCOLO_CONDUTOR, DH_PROCESSA_CONDUTOR, CD_ST_CONDUTOR of a driver row.
struct LinhaCondutor {
    int id = 0;
    std::optional<std::string> protocolo, dataHora, status;
};

struct Plano {
    std::vector<Arquivo> arquivos;
    std::vector<LinhaMdfe> mdfe;             // every record of the company the scenario uses
    std::vector<LinhaCondutor> condutores;   // every driver row of those records
    std::vector<std::string> impressoes;     // keys whose document the monitor prints

    Contadores Total() const;   // the counters over all files
    int Perguntas() const;      // questions the monitor asks
};

// The scenarios the stand-in knows, and how many MDF-e records of the
// company each one needs (with which driver rows; see the .cpp).
struct Cenario {
    const char* nome;
    const char* descricao;
    int registros;
};
const std::vector<Cenario>& Cenarios();
// The driver rows a scenario expects on its n-th record (0-based), for a
// caller that creates the records.
std::vector<std::optional<int>> CondutoresNecessarios(const std::string& cenario, int indice);

// Builds the plan of scenario `cenario` for the company. `anoMes` is the
// "yyyymm" folder the authorised documents go into (the month the monitor
// runs in). Throws velmora::Error for an unknown scenario or too few
// records.
Plano MontaPlano(const std::string& cenario, const Empresa& empresa, const std::string& anoMes);

// The date-time of an MDF-e document as the monitor stores it: the offset
// dropped, "2026-12-10T08:00:05-03:00" -> "2026-12-10 08:00:05".
std::string DataHoraBanco(const std::string& dataHoraMdfe);

}   // namespace velmora::transmissor
