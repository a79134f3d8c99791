// libFuzzer target over the file-mask matcher, against a plain reference:
// a table over every prefix of the name and of the mask. The input is a name
// and a mask separated by a NUL byte; an input without one is a name tried
// against the masks of the ten processors.
//
// The reference shares the letter-case folding (ASCII and the Latin-1
// letters, bytes that are not UTF-8 kept apart) with the matcher and checks
// the wildcard logic: "*" any run of characters, "?" exactly one, the mask
// covering the whole name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

bool Referencia(const std::string& name, const std::string& mask) {
    const std::u32string n = velmora::platform::FoldCase(name);
    const std::u32string m = velmora::platform::FoldCase(mask);
    // casa[j]: the name's first i characters match the mask's first j.
    std::vector<char> casa(m.size() + 1, 0), proxima(m.size() + 1, 0);
    casa[0] = 1;
    for (size_t j = 1; j <= m.size(); ++j) casa[j] = casa[j - 1] && m[j - 1] == U'*';
    for (size_t i = 1; i <= n.size(); ++i) {
        proxima[0] = 0;
        for (size_t j = 1; j <= m.size(); ++j) {
            if (m[j - 1] == U'*') proxima[j] = proxima[j - 1] || casa[j];
            else proxima[j] = casa[j - 1] && (m[j - 1] == U'?' || m[j - 1] == n[i - 1]);
        }
        casa.swap(proxima);
    }
    return casa[m.size()];
}

void Compara(const std::string& name, const std::string& mask) {
    const bool got = velmora::platform::MatchesMask(name, mask);
    if (got != Referencia(name, mask)) {
        std::fprintf(stderr, "\n*** MatchesMask(\"%s\", \"%s\") = %d, the reference says %d\n", name.c_str(),
                     mask.c_str(), got, !got);
        std::abort();
    }
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024) return 0;   // the reference is quadratic
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    if (nul != std::string::npos) {
        Compara(input.substr(0, nul), input.substr(nul + 1));
        return 0;
    }
    for (const char* mask : {"MDFe*-num-lot.xml*", "*-pro-rec.xml*", "MDFe*-eve.xml*", "*-sit.xml*", "*-rec.err*",
                             "*-sit.err*", "*-pro-rec.err*", "*mdfe.err*", "*env-loterps.err*", "*-eve.err*"})
        Compara(input, mask);
    return 0;
}
