#pragma once
// Errors of the whole program: an exception carrying a message and a type name.
// The type name is what a user sees in front of the message where a message
// names the error's kind (the connection failure at start-up, for one).
#include <stdexcept>
#include <string>

namespace velmora {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
    virtual const char* TypeName() const noexcept { return "Exception"; }
    std::string Message() const { return what(); }
};

// An error that abandons the current pass without any message of its own
// (the printing step raises it after telling the user what is missing).
class SilentAbort : public Error {
public:
    SilentAbort() : Error("Operation aborted") {}
    const char* TypeName() const noexcept override { return "EAbort"; }
};

// Ending the program. Not an Error: nothing that handles errors may stop it,
// it unwinds every handler up to the message loop, which then closes the
// window and leaves. Thrown only through UserInterface-aware code.
class ProgramEnd {
public:
    ProgramEnd() = default;
};

}   // namespace velmora
