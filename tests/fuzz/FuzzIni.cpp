// libFuzzer target over the INI reader. The input is the file; it is asked
// for a few sections and keys, some fixed (those the monitor reads), some
// taken from the input itself so that the fuzzer reaches real matches.
//
// Properties, besides no crash: a key whose name appears nowhere in the file
// reads as the default; a value is one line of valid UTF-8; a UTF-8
// byte-order mark in front of UTF-8 text changes nothing; and a section
// appended at the end changes no value read from another section (the first
// match wins).
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/IniFile.h"
#include "platform/Text.h"

namespace {

namespace fs = std::filesystem;
using velmora::platform::ReadProfileString;

[[noreturn]] void Falha(const std::string& what, const std::string& section, const std::string& key) {
    std::fprintf(stderr, "\n*** property broken: %s (section \"%s\", key \"%s\")\n", what.c_str(), section.c_str(),
                 key.c_str());
    std::abort();
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// A file of this process's own, removed at exit.
struct Arquivo {
    Arquivo() : path((fs::temp_directory_path() / ("velmora-fuzz-ini-" + std::to_string(getpid()))).string()) {}
    ~Arquivo() {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    void Write(const std::string& content) const {
        std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    std::string path;
};

// The first "[name]" and the first "name=" of the text, as asked for.
std::pair<std::string, std::string> Proprios(const std::string& text) {
    std::string section, key;
    size_t open = text.find('[');
    if (open != std::string::npos) {
        size_t close = text.find_first_of("]\r\n", open);
        section = text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    }
    size_t equals = text.find('=');
    if (equals != std::string::npos) {
        size_t begin = text.find_last_of("\r\n", equals);
        begin = begin == std::string::npos ? 0 : begin + 1;
        key = text.substr(begin, equals - begin);
    }
    return {section, key};
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Arquivo arquivo;
    const std::string texto(reinterpret_cast<const char*>(data), size);
    auto [proprioSecao, proprioChave] = Proprios(texto);
    const std::vector<std::pair<std::string, std::string>> perguntas = {
        {"Database", "path"},         {"Database", "Servidor"}, {"IniServidor", "nomearquivo"},
        {proprioSecao, proprioChave}, {proprioSecao, "name"},   {"Database", proprioChave},
    };
    const std::string padrao = "<padrao>";

    arquivo.Write(texto);
    std::vector<std::string> lidos;
    for (const auto& [secao, chave] : perguntas) {
        std::string valor = ReadProfileString(arquivo.path, secao, chave, padrao);
        if (valor.find_first_of("\r\n") != std::string::npos) Falha("a value spans lines", secao, chave);
        if (!velmora::platform::IsValidUtf8(valor)) Falha("a value is not UTF-8", secao, chave);
        const std::string nome = Lower(velmora::platform::Trim(chave));
        const bool asciiName = std::all_of(nome.begin(), nome.end(),
                                           [](char c) { return c != 0 && static_cast<unsigned char>(c) < 0x80; });
        if (asciiName && !nome.empty() && Lower(texto).find(nome) == std::string::npos && valor != padrao)
            Falha("a key that is not in the file read as \"" + valor + "\"", secao, chave);
        lidos.push_back(std::move(valor));
    }

    // Only a file that is UTF-8 throughout says what its mark means; in
    // front of ANSI text the three bytes are read as "ï»¿" like the rest.
    if (velmora::platform::IsValidUtf8(texto) && !texto.starts_with("\xEF\xBB\xBF")) {
        arquivo.Write("\xEF\xBB\xBF" + texto);
        for (size_t i = 0; i < perguntas.size(); ++i)
            if (ReadProfileString(arquivo.path, perguntas[i].first, perguntas[i].second, padrao) != lidos[i])
                Falha("a byte-order mark changed the value", perguntas[i].first, perguntas[i].second);
    }

    arquivo.Write(texto + "\r\n[ZzAcrescentada]\r\npath=zz\r\nnomearquivo=zz\r\n" + proprioChave + "=zz\r\n");
    for (size_t i = 0; i < perguntas.size(); ++i) {
        if (velmora::platform::EqualsIgnoreCase(velmora::platform::Trim(perguntas[i].first), "ZzAcrescentada"))
            continue;
        if (ReadProfileString(arquivo.path, perguntas[i].first, perguntas[i].second, padrao) != lidos[i])
            Falha("a section appended at the end changed the value", perguntas[i].first, perguntas[i].second);
    }
    return 0;
}
