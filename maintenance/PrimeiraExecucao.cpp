#include "maintenance/PrimeiraExecucao.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Text.h"

namespace velmora {

namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The program file name without its extension, as the launcher shows it:
// the last four characters go, whatever they are.
std::string Descricao(const std::string& programa) {
    size_t length = platform::Utf8Length(programa);
    return length > 4 ? platform::Utf8Left(programa, length - 4) : std::string();
}

// The string escapes of the desktop-entry key file format.
std::string EscapeValue(const std::string& value) {
    std::string escaped;
    for (char c : value) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c;
        }
    }
    if (!escaped.empty() && escaped.front() == ' ') escaped.replace(0, 1, "\\s");
    return escaped;
}

std::string WithSeparator(std::string folder) {
    if (folder.empty() || !platform::IsSeparator(folder.back())) folder += "/";
    return folder;
}

}   // namespace

std::string ArquivoMarcador(const EstadoAtualizacao& estado) {
    return estado.pastaPrograma + "\\Exec-" + ReplaceAll(estado.programa, ".exe", ".ini");
}

std::string ArquivoSobra(const EstadoAtualizacao& estado) { return estado.pastaPrograma + "\\Exec-" + estado.programa; }

void VerificaPrimeiraExecucao(const EstadoAtualizacao& estado) {
    const std::string marcador = ArquivoMarcador(estado);
    const std::string sobra = ArquivoSobra(estado);
    if (platform::FileExists(marcador)) {
        CriaAtalho(estado);
        platform::DeleteFile(sobra);
        // Only the ERP's main programs keep the shared update folder filled.
        if (estado.programa == "velmoraEmpresa.exe" || estado.programa == "velmoraEmpresa4.exe")
            CopiaExecutaveis(estado);
        platform::DeleteFile(marcador);
    }
    platform::DeleteFile(sobra);
}

std::string DesktopExecValue(const std::string& program) {
    // Quoted whole, so blanks and shell characters in the path need no
    // thought; inside the quotes only these four take a backslash.
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += "%%";   // a lone "%" would start a field code
        else quoted += c;
    }
    quoted += '"';
    // Readers undo the value escapes before the quoting: a backslash of the
    // path ends up as four.
    return EscapeValue(quoted);
}

void CriaAtalho(const EstadoAtualizacao& estado) {
    const std::string descricao = Descricao(estado.programa);
    const std::string atalho = PastaAreaTrabalho() + "Novo " + descricao + ".desktop";
    const std::string alvo = platform::ToNative(estado.pastaPrograma + "\\" + estado.programa);

    std::error_code ignored;
    std::filesystem::remove(atalho, ignored);   // replaced, even when it was read-only
    {
        std::ofstream out(atalho, std::ios::binary | std::ios::trunc);
        if (!out) return;
        out << "[Desktop Entry]\n"
            << "Type=Application\n"
            << "Name=" << EscapeValue(descricao) << "\n"
            << "Exec=" << DesktopExecValue(alvo) << "\n";
        if (!out) return;
    }
    // Desktops start only launchers marked executable.
    std::filesystem::permissions(atalho,
                                 std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                     std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                     std::filesystem::perms::others_exec,
                                 ignored);
}

std::string PastaAreaTrabalho() {
    // xdg-user-dir knows the desktop's localised name ("Área de Trabalho").
    if (auto output = platform::CaptureProgramOutput({"xdg-user-dir", "DESKTOP"})) {
        std::string folder = platform::Trim(*output);
        if (!folder.empty() && folder.front() == '/') return WithSeparator(folder);
    }
    return WithSeparator(platform::HomeFolder()) + "Desktop/";
}

void CopiaExecutaveis(const EstadoAtualizacao& estado) {
    const std::string mestre = platform::ReadProfileString(ArquivoMarcador(estado), "configuracao", "pastamestre", "");
    // Without a master folder the mask would be "\*.exe", the root of the
    // drive: nothing there is meant for the update folder.
    if (mestre.empty()) return;
    const std::string destino = ReplaceAll(estado.pastaAtualizacaoCodificada, "§", " ");

    std::vector<std::string> executaveis;
    try {
        executaveis = platform::ListFiles(mestre, "*.exe");
    } catch (const Error&) {
        return;   // an unreadable master folder simply has nothing to give
    }
    for (const auto& nome : executaveis) {
        // What the update folder already holds is newer or deliberately
        // different: it is never replaced.
        if (!platform::FileExists(destino + "\\" + nome))
            platform::CopyFile(mestre + "\\" + nome, destino + "\\" + nome, true);
    }
}

}   // namespace velmora
