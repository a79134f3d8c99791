#include "maintenance/Atualizacao.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <curl/curl.h>

#include "maintenance/PrimeiraExecucao.h"
#include "maintenance/VersaoBanco.h"
#include "platform/FileSystem.h"
#include "platform/Journal.h"
#include "platform/Locale.h"
#include "platform/MessageIcon.h"
#include "platform/Paths.h"
#include "platform/Processes.h"

namespace velmora {

namespace {

constexpr const char* kDefaultSite = "http://atualizacao.velmora.com.br";
constexpr const char* kCaminhoAtualizador = "/update/Atualizacao/velmora%20Empresa/velmoraAtualizador.exe";
constexpr const char* kAtualizador = "velmoraAtualizador.exe";
constexpr const char* kAtualizadorBaixando = "oldvelmoraAtualizador.exe";
constexpr const char* kMarcadorDebug = "DebugarDelphi.tmp";
constexpr const char* kFinalizado = ".\rO Sistema será finalizado.";

DownloadLimits downloadLimits;

// The updater takes its folders as single words: blanks travel as "§".
std::string Codifica(const std::string& pasta) {
    std::string result;
    for (char c : pasta) {
        if (c == ' ') result += "§";
        else result += c;
    }
    return result;
}

// The name the notice shows: everything before the first ".", nothing at all
// when the name has no ".".
std::string NomeSemExtensao(const std::string& programa) {
    auto dot = programa.find('.');
    return dot == std::string::npos ? std::string() : programa.substr(0, dot);
}

class FileCreateError : public Error {
public:
    using Error::Error;
    const char* TypeName() const noexcept override { return "EFCreateError"; }
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Download {
    CURL* curl;
    std::FILE* file;
};

// Only the body of a successful answer goes into the file: an error page or
// a redirection notice would otherwise be taken for the updater.
size_t WriteBody(char* data, size_t size, size_t count, void* userData) {
    auto* download = static_cast<Download*>(userData);
    long status = 0;
    curl_easy_getinfo(download->curl, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) return 0;   // aborts with CURLE_WRITE_ERROR
    return std::fwrite(data, size, count, download->file);
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}   // namespace

void SetDownloadLimits(const DownloadLimits& limits) { downloadLimits = limits; }

EstadoAtualizacao PreparaAtualizacao(const std::string& databaseName, const std::string& serverIniPath) {
    (void)databaseName;   // handed over with the path, but nothing here needs it
    const std::string executavel = platform::ExecutablePath();
    EstadoAtualizacao estado;
    estado.programa = platform::FileNameOf(executavel);

    // The update folder is a sibling of the folder that holds the server's
    // configuration file. The last character is never looked at, so a path
    // ending in a separator does not count that one.
    size_t ultima = 0, penultima = 0;   // 1-based positions, 0 = none seen
    for (size_t i = 0; i + 1 < serverIniPath.size(); ++i) {
        if (platform::IsSeparator(serverIniPath[i])) {
            penultima = ultima;
            ultima = i + 1;
        }
    }
    estado.pastaAtualizacao = serverIniPath.substr(0, penultima) + "Update";

    estado.pastaPrograma = platform::FolderOf(executavel);
    estado.pastaAtualizacaoCodificada = Codifica(estado.pastaAtualizacao);
    estado.pastaProgramaCodificada = Codifica(estado.pastaPrograma);
    return estado;
}

VersaoBanco VerificaAtualizacao(ServicosAtualizacao& servicos, int modo) {
    const EstadoAtualizacao& estado = servicos.EstadoDaAtualizacao();
    VersaoBanco versao;
    const std::string atualizador = estado.pastaAtualizacao + "\\" + kAtualizador;

    // A developer debugging the program keeps it from being replaced under him.
    if (platform::FileExists(estado.pastaPrograma + "\\" + kMarcadorDebug)) {
        servicos.Mensagem(kAvisoDoSistema,
                          "O aplicativo " + estado.programa + " não será atualizado. A pasta " + estado.pastaPrograma +
                              " está com o arquivo " + kMarcadorDebug,
                          Icon::Warning);
        platform::journal::Write("atualização: bloqueada por " + std::string(kMarcadorDebug));
        return versao;
    }

    if (!platform::FolderExists(estado.pastaAtualizacao)) platform::CreateFolder(estado.pastaAtualizacao);

    // May put the updater into the update folder (copied from the master
    // folder), which then spares the download.
    VerificaPrimeiraExecucao(estado);

    if (!platform::FileExists(atualizador) && !BaixaAtualizador(estado.pastaAtualizacao)) {
        platform::journal::Write("atualização: não foi possível baixar " + std::string(kAtualizador));
        servicos.Mensagem(kAvisoDoSistema,
                          "Não foi possível baixar o aplicativo para atualização inicial do seu sistema. "
                          "Tente novamente mais tarde ou entre em contato com o suporte técnico da velmora.",
                          Icon::None);
        servicos.EncerraPrograma();
    }

    versao = VerificaVersaoBanco(servicos.Conexao());

    if (modo != 1) return versao;

    const std::string copia = estado.pastaAtualizacao + "\\" + estado.programa;
    if (!platform::FileExists(copia)) {
        servicos.Mensagem(kAvisoDoSistema,
                          "Falha na atualização do aplicativo. Não foi encontrado o arquivo " + estado.programa +
                              " na pasta " + estado.pastaAtualizacao + kFinalizado,
                          Icon::Warning);
        servicos.EncerraPrograma();
    }

    // Any difference counts, an older copy too: the update folder holds the
    // version the installation is meant to run.
    const std::string programa = estado.pastaPrograma + "\\" + estado.programa;
    if (platform::LastWriteTime(programa) == platform::LastWriteTime(copia)) {
        platform::journal::Write("atualização: programa em dia");
        return versao;
    }

    if (!platform::FileExists(atualizador)) {
        servicos.Mensagem(kAvisoDoSistema,
                          std::string("Falha na atualização do aplicativo. Não foi encontrado o arquivo ") +
                              kAtualizador + " na pasta " + estado.pastaAtualizacao + kFinalizado,
                          Icon::Warning);
        servicos.EncerraPrograma();
    }

    servicos.MostraMensagem("AVISO: Existe uma nova versão do aplicativo " + NomeSemExtensao(estado.programa) +
                                ". A atualização será feita automaticamente. Aguarde...",
                            false, true);

    platform::journal::Write("fim: entregue ao atualizador " + atualizador);
    platform::StartProgram(atualizador,
                           "@F1 @M" + estado.pastaAtualizacaoCodificada + " @E" + estado.pastaProgramaCodificada +
                               " @A" + estado.programa,
                           "");

    // The updater replaces our program file and expects us gone: no window
    // teardown, no destructors, nothing that could keep the file busy.
    std::_Exit(0);
}

bool BaixaAtualizador(const std::string& pastaAtualizacao) {
    static std::atomic<int> baixados{0};
    const std::string atualizador = pastaAtualizacao + "\\" + kAtualizador;
    const std::string baixando = pastaAtualizacao + "\\" + kAtualizadorBaixando + "." + platform::ProcessTag() + "." +
                                 std::to_string(++baixados);
    bool baixado = false;
    try {
        baixado = BaixaArquivo(EnderecoSite() + kCaminhoAtualizador, baixando);
    } catch (...) {
        platform::DeleteFile(baixando);
        throw;
    }
    // Put in place only when no other workstation was quicker; a copy that
    // is already there is kept, ours goes.
    if (baixado && platform::RenameFile(baixando, atualizador))
        platform::journal::Write("atualização: " + std::string(kAtualizador) + " baixado");
    platform::DeleteFile(baixando);
    return baixado || platform::FileExists(atualizador);
}

bool BaixaArquivo(const std::string& url, const std::string& destino) {
    InitCurlOnce();

    const std::string nativo = platform::ToNative(destino);
    FilePtr file(std::fopen(nativo.c_str(), "wb"));
    if (!file) throw FileCreateError("Cannot create file \"" + destino + "\". " + std::strerror(errno));

    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl) return false;

    std::unique_ptr<curl_slist, SlistFree> headers;
    for (const char* header :
         {"Content-Type: application/json", "Content-Encoding: utf-8", "Accept: text/javascript"}) {
        curl_slist* appended = curl_slist_append(headers.get(), header);
        if (!appended) return false;
        headers.release();
        headers.reset(appended);
    }

    Download download{curl.get(), file.get()};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PROXY, "");   // straight to the server, whatever the environment says
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    // The maker's server is reached without checking its certificate; TLS is
    // negotiated at the highest version both sides know.
    curl_easy_setopt(c, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_DEFAULT));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, downloadLimits.connectSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, downloadLimits.stalledSeconds);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &download);

    if (curl_easy_perform(c) != CURLE_OK) return false;
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) return false;   // a bodiless error or redirection
    return std::fflush(file.get()) == 0;
}

std::string EnderecoSite() {
    const char* overridden = std::getenv("VELMORA_UPDATE_URL");
    std::string site = overridden && *overridden ? overridden : kDefaultSite;
    while (!site.empty() && site.back() == '/') site.pop_back();
    return site;
}

std::string DataArquivo(const std::string& path) {
    auto when = platform::LastWriteTime(path);
    if (!when) return "";
    std::string text = platform::FormatShortDate(*when);
    if (when->hour != 0 || when->minute != 0 || when->second != 0) text += " " + platform::FormatLongTime(*when);
    return text;
}

}   // namespace velmora
