#pragma once
// The icon of a modal message box: error for failures, warning for notices,
// none for a plain text, question for the Yes/No dialog.
namespace velmora {

enum class Icon { None, Error, Warning, Information, Question };

// The caption of the system's notices (configuration, connection, update).
inline constexpr const char* kAvisoDoSistema = "Aviso do Sistema";

}   // namespace velmora
