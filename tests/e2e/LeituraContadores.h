#pragma once
// Reading the counters off a picture of the monitor's main window. The
// program's labels carry no text another process could read (no
// accessibility bus on the test display), so the reading goes through
// drawing instead: a main window of the same kind, built in this process on
// the same display (same fonts, same style), shows candidate values, and each
// value label's area is held against the same area of the picture.
#include <optional>
#include <string>

#include <QImage>

#include "monitor/UserInterface.h"

namespace velmora::test::e2e {

// `limite` bounds each counter looked for (a value above it does not read).
// nullopt when the picture is not the main window with twelve readable
// counters; `motivo` then says which label did not read.
std::optional<Contadores> LeContadoresDaImagem(const QImage& janela, const Contadores& limite,
                                               std::string* motivo = nullptr);

}   // namespace velmora::test::e2e
