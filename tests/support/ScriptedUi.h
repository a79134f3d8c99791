#pragma once
// A user interface for tests: records every message, question, label, status
// line and timer change, answers questions from a script, and lets a test run code
// "from the message queue" at the next pump (a tick or a button press that
// arrives while a cycle runs).
#include <deque>
#include <functional>
#include <string>
#include <vector>
#include "monitor/UserInterface.h"

namespace velmora::test {

struct ShownMessage {
    std::string title;
    std::string text;
    Icon icon;
};

class ScriptedUi : public UserInterface {
public:
    void MessageBox(const std::string& title, const std::string& text, Icon icon) override {
        messages.push_back({title, text, icon});
        RunNext(atMessage);
        RunQueued();
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        RunNext(atQuestion);
        RunQueued();
        if (answers.empty()) return false;
        bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ProcessMessages() override {
        ++pumps;
        RunQueued();
    }
    void Sleep(std::chrono::milliseconds duration) override { slept += duration; }
    void SetTimerEnabled(bool on) override {
        timer = on;
        timerChanges.push_back(on);
    }
    bool TimerEnabled() const override { return timer; }
    void ShowFileName(const std::string& name) override {
        fileName = name;
        fileNames.push_back(name);
        if (!name.empty()) RunNext(atFileName);
    }
    void ShowCounters(const Contadores& c) override {
        counters = c;
        ++counterRedraws;
    }
    void ShowVersion(const std::string& text) override { version = text; }
    void ShowStatus(const std::string& line) override {
        status = line;
        statuses.push_back(line);
    }
    void MostraMensagem(const std::string& text, bool confirm, bool autoClose) override {
        notices.push_back(text);
        (void)confirm;
        (void)autoClose;
    }
    void CloseAndQuit() override { ++closed; }

    // Runs `action` at the next pump (as if its message were waiting).
    void Queue(std::function<void()> action) { queued.push_back(std::move(action)); }
    // Runs `action` while the next question waits for its answer.
    void AtQuestion(std::function<void()> action) { atQuestion.push_back(std::move(action)); }
    // Runs `action` while the next message box waits for its OK.
    void AtMessage(std::function<void()> action) { atMessage.push_back(std::move(action)); }
    // Runs `action` when the next file name is put on the window (the file
    // is in hand and not yet read).
    void AtFileName(std::function<void()> action) { atFileName.push_back(std::move(action)); }

    std::vector<ShownMessage> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    std::vector<std::string> notices;
    std::vector<std::string> fileNames;
    std::vector<bool> timerChanges;
    std::string fileName;
    std::string version;
    std::string status;
    std::vector<std::string> statuses;
    Contadores counters;
    int counterRedraws = 0;
    int pumps = 0;
    int closed = 0;
    bool timer = false;
    std::chrono::milliseconds slept{0};

private:
    void RunQueued() {
        std::deque<std::function<void()>> now;
        now.swap(queued);
        for (auto& action : now) action();
    }
    std::deque<std::function<void()>> queued;
    std::deque<std::function<void()>> atQuestion;
    std::deque<std::function<void()>> atMessage;
    std::deque<std::function<void()>> atFileName;
    static void RunNext(std::deque<std::function<void()>>& actions) {
        if (actions.empty()) return;
        auto action = std::move(actions.front());
        actions.pop_front();
        action();
    }
};

}   // namespace velmora::test
