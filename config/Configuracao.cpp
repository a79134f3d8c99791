#include "config/Configuracao.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace velmora {

namespace {

std::string PastaExecutavel() { return platform::FolderOf(platform::ExecutablePath()); }

// Windows finds velmoraEmpresa4.exe when asked for velmoraempresa4.exe; the
// ERP's files keep whatever letter case their installer gave them, so the
// name is looked for ignoring case here too.
bool ExisteIgnorandoCaixa(const std::string& pasta, const std::string& nome) {
    try {
        return !platform::ListFiles(pasta, nome).empty();
    } catch (const Error&) {
        return false;
    }
}

std::string CaminhoIgnorandoCaixa(const std::string& pasta, const std::string& nome) {
    try {
        auto nomes = platform::ListFiles(pasta, nome);
        if (!nomes.empty()) return pasta + "\\" + nomes.front();
    } catch (const Error&) {}
    return pasta + "\\" + nome;
}

}   // namespace

std::string ArquivoIniLocal() {
    std::string pasta = PastaExecutavel();
    std::string base = ExisteIgnorandoCaixa(pasta, "velmoraempresa4.exe") ? "velmoraempresa4" : "velmoraempresa";
    return CaminhoIgnorandoCaixa(pasta, base + ".ini");
}

std::string Configuracao::LocalBanco() const {
    if (!platform::Trim(sServidor).empty()) return sServidor + ":" + sPath + sBanco;
    return sPath + sBanco;
}

Configuracao LeConfiguracao() {
    Configuracao c;
    c.locainiServidor = platform::ReadProfileString(ArquivoIniLocal(), "IniServidor", "nomearquivo", "");
    if (!platform::FileExists(c.locainiServidor))
        throw ConfiguracaoAusente("Não foi encontrado o arquivo de inicialização");
    c.sServidor = platform::ReadProfileString(c.locainiServidor, "Database", "Servidor", "");
    c.sPath = platform::ReadProfileString(c.locainiServidor, "Database", "path", "");
    c.sBanco = platform::ReadProfileString(c.locainiServidor, "Database", "name", "");
    return c;
}

std::string PastaDadosServidor() {
    std::string ini = ArquivoIniLocal();
    if (platform::FileExists(ini)) {
        std::string servidor = platform::ReadProfileString(ini, "IniServidor", "nomearquivo", "");
        if (!platform::FileExists(servidor))
            throw ConfiguracaoAusente("Não foi encontrado o arquivo de inicialização dentro da pasta velmora Empresa");
        return platform::FolderWithSeparatorOf(servidor);
    }
    std::string pasta = platform::FolderWithSeparatorOf(PastaExecutavel()) + "Dados\\";
    if (!platform::FolderExists(pasta)) throw ConfiguracaoAusente("Não foi encontrado a pasta Dados no servidor");
    return pasta;
}

}   // namespace velmora
