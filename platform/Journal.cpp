#include "platform/Journal.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/rotating_file_sink.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/Paths.h"

namespace velmora::platform::journal {

namespace {

constexpr const char* kAppFolder = "velmoraMonitorMDFe";
constexpr const char* kFileName = "monitor.log";
constexpr std::size_t kFileBytes = 1024 * 1024;
// Besides monitor.log, the rotated monitor.1.log to monitor.3.log: four
// files, a few megabytes at most on a workstation that runs for years.
constexpr std::size_t kRotatedFiles = 3;

struct State {
    std::shared_ptr<spdlog::logger> logger;
    std::string folder;
};

State& Current() {
    static State state;
    return state;
}

// Multi-line texts (a database error carries its details on further lines)
// become one line, so that every entry starts with its time.
std::string OneLine(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            line += ' ';
        } else {
            line += c;
        }
    }
    return line;
}

}   // namespace

std::string DefaultFolder() {
    // XDG: a relative XDG_STATE_HOME is invalid and ignored.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return std::string(state) + "/" + kAppFolder;
    std::string home = HomeFolder();
    if (home.empty()) return {};
    return home + "/.local/state/" + kAppFolder;
}

void detail::OpenAt(const std::string& folder, std::size_t fileBytes) {
    Close();
    if (folder.empty()) return;
    try {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error || !std::filesystem::is_directory(folder, error)) return;
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            (std::filesystem::path(folder) / kFileName).string(), fileBytes, kRotatedFiles);
        // Not registered with spdlog: nothing else in the process can reach
        // or replace it by name.
        auto logger = std::make_shared<spdlog::logger>("journal", std::move(sink));
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %v", spdlog::pattern_time_type::local);
        // A line that cannot be written is lost, silently: the monitor's work
        // must never stop for its journal, and stderr is nobody's screen.
        logger->set_error_handler([](const std::string&) {});
        // Each line reaches the file at once: after a crash the last lines
        // are the ones that tell what happened.
        logger->flush_on(spdlog::level::trace);
        logger->set_level(spdlog::level::trace);
        Current().logger = std::move(logger);
        Current().folder = folder;
    } catch (...) {
        // The file could not be opened: the journal stays closed.
        Current() = State{};
    }
}

void OpenAt(const std::string& folder) { detail::OpenAt(folder, kFileBytes); }

void Open() { OpenAt(DefaultFolder()); }

std::string Folder() { return Current().folder; }

void Write(std::string_view line) {
    const auto& logger = Current().logger;
    if (!logger) return;
    try {
        std::string text = OneLine(line);
        logger->log(spdlog::level::info, spdlog::string_view_t(text.data(), text.size()));
    } catch (...) {
        // Out of memory for the copy: the line is dropped like any other
        // that cannot be written.
    }
}

void Close() {
    State& state = Current();
    if (state.logger) {
        try {
            state.logger->flush();
        } catch (...) {}
    }
    state = State{};
}

}   // namespace velmora::platform::journal
