// A Dialogs fake that records every call as a line of text and answers questions
// and file choices from scripted lists, in order. Tests assert the exact texts.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/dialogs.h"

namespace velmora::test {

class RecordingDialogs : public Dialogs {
  public:
    std::vector<std::string> log;                 // "beep", "warning: ...", "question: ...", "file: ..."
    std::deque<Answer> answers;                   // scripted answers to questions
    std::deque<std::optional<std::string>> files; // scripted file choices
    int busyDepth = 0;

    void Beep() override { log.push_back("beep"); }
    void Message(MessageKind kind, const std::string& text) override {
        log.push_back(std::string(kindName(kind)) + ": " + text);
    }
    Answer AskOkCancel(MessageKind kind, const std::string& text) override {
        log.push_back(std::string("ask ") + kindName(kind) + ": " + text);
        return next();
    }
    Answer AskYesNoCancel(const std::string& text) override {
        log.push_back("ask yes/no/cancel: " + text);
        return next();
    }
    std::optional<std::string> ChooseFile(const FileChoice& request) override {
        log.push_back(std::string("file ") + (request.save ? "save" : "open") + ": " + request.fileName);
        if (files.empty()) throw std::logic_error("unscripted file choice");
        auto f = files.front();
        files.pop_front();
        return f;
    }
    void BusyCursor(bool busy) override { busyDepth += busy ? 1 : -1; }
    // The ASCII options window: what the scripted person does in it (none: OK as shown).
    std::function<bool(TfmAscii&)> asciiOptions;
    bool EditAsciiOptions(TfmAscii& window) override { return asciiOptions ? asciiOptions(window) : true; }
    // The Configure Axes dialog: what the scripted person applies (none: Cancel).
    std::function<std::optional<AxisConfiguration>(const AxesRequest&)> axes;
    std::optional<AxisConfiguration> ConfigureAxes(const AxesRequest& request) override {
        return axes ? axes(request) : std::nullopt;
    }

    // The messages only (no beeps), for compact assertions.
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& l : log)
            if (l != "beep") out.push_back(l);
        return out;
    }
    void clear() { log.clear(); }

  private:
    static const char* kindName(MessageKind k) {
        switch (k) {
        case MessageKind::Warning:
            return "warning";
        case MessageKind::Error:
            return "error";
        case MessageKind::Information:
            return "information";
        }
        return "?";
    }
    Answer next() {
        if (answers.empty()) throw std::logic_error("unscripted question");
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
};

} // namespace velmora::test
