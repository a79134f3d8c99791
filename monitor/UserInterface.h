#pragma once
// What the engine needs from whoever shows it to the user: message boxes, the
// Yes/No question, pumping window messages, the 5000 ms timer, the window's
// labels and the end of the program. The Qt window implements it; the tests
// implement it with a script.
#include <chrono>
#include <string>
#include "platform/MessageIcon.h"
#include "processors/Contadores.h"

namespace velmora {

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A modal message box with an OK button. Window messages are dispatched
    // while it is open.
    virtual void MessageBox(const std::string& title, const std::string& text, Icon icon) = 0;
    // A modal Yes/No question with the question icon; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // Dispatches every window message that is waiting, then returns.
    virtual void ProcessMessages() = 0;
    // Waits for `duration` with the window still answering: window messages
    // are dispatched meanwhile, as at ProcessMessages, so a tick, a button or
    // "&Sair" may run before it returns.
    virtual void Sleep(std::chrono::milliseconds duration) = 0;

    virtual void SetTimerEnabled(bool on) = 0;   // switching on a running timer changes nothing
    virtual bool TimerEnabled() const = 0;

    virtual void ShowFileName(const std::string& name) = 0;      // repainted at once
    virtual void ShowCounters(const Contadores& counters) = 0;   // repainted at the next dispatch
    virtual void ShowVersion(const std::string& text) = 0;       // repainted at once
    // One line on what the monitor is doing or why it stopped, on the window
    // and in the tray icon's tip; "" clears it. Repainted at once.
    virtual void ShowStatus(const std::string& line) = 0;   // "" clears it

    // The generic notice window (closes itself after 5 s when autoClose).
    virtual void MostraMensagem(const std::string& text, bool confirm, bool autoClose) = 0;

    // Stops the message loop and destroys the window (the tray icon goes away).
    virtual void CloseAndQuit() = 0;
};

}   // namespace velmora
