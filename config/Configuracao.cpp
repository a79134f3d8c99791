#include "config/Configuracao.h"

#include "monitor/Monitor.h"
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
    } catch (const Error&) {
    }
    return pasta + "\\" + nome;
}

} // namespace

std::string ArquivoIniLocal() {
    std::string pasta = PastaExecutavel();
    std::string base = ExisteIgnorandoCaixa(pasta, "velmoraempresa4.exe") ? "velmoraempresa4" : "velmoraempresa";
    return CaminhoIgnorandoCaixa(pasta, base + ".ini");
}

std::string LeConfiguracao(Monitor& m) {
    std::string ini = ArquivoIniLocal();
    m.locainiServidor = platform::ReadProfileString(ini, "IniServidor", "nomearquivo", "");
    if (!platform::FileExists(m.locainiServidor))
        m.EncerraPrograma(kAvisoDoSistema, "Não foi encontrado o arquivo de inicialização", Icon::Error);
    m.sServidor = platform::ReadProfileString(m.locainiServidor, "Database", "Servidor", "");
    m.sPath = platform::ReadProfileString(m.locainiServidor, "Database", "path", "");
    m.sBanco = platform::ReadProfileString(m.locainiServidor, "Database", "name", "");
    if (!platform::Trim(m.sServidor).empty()) return m.sServidor + ":" + m.sPath + m.sBanco;
    return m.sPath + m.sBanco;
}

std::string PastaDadosServidor(Monitor& m) {
    std::string ini = ArquivoIniLocal();
    if (platform::FileExists(ini)) {
        std::string servidor = platform::ReadProfileString(ini, "IniServidor", "nomearquivo", "");
        if (!platform::FileExists(servidor))
            m.EncerraPrograma(kAvisoDoSistema,
                              "Não foi encontrado o arquivo de inicialização dentro da pasta velmora Empresa",
                              Icon::Error);
        return platform::FolderWithSeparatorOf(servidor);
    }
    std::string pasta = platform::FolderWithSeparatorOf(PastaExecutavel()) + "Dados\\";
    if (!platform::FolderExists(pasta))
        m.EncerraPrograma(kAvisoDoSistema, "Não foi encontrado a pasta Dados no servidor", Icon::Error);
    return pasta;
}

} // namespace velmora
