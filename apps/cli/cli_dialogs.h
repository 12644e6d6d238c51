// The command line's Dialogs: messages go to stderr as "velmora: <text>", questions
// take the answer the command was given (OK/Yes unless told otherwise).
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "ui/dialogs.h"

namespace velmora::cli {

class CliDialogs : public Dialogs {
  public:
    explicit CliDialogs(std::ostream& err) : err_(err) {}

    int failures = 0; // warnings and errors shown
    Answer answer = Answer::Ok;
    // The option a message is about, for messages that do not say it themselves (empty:
    // the message stands alone).
    std::function<std::string(const std::string& text)> context;

    void Beep() override {}
    std::string lastText; // the last message shown
    void Message(MessageKind kind, const std::string& text) override {
        if (kind != MessageKind::Information) ++failures;
        lastText = text;
        const std::string option = context ? context(text) : std::string();
        err_ << "velmora: " << (option.empty() ? "" : option + ": ") << text << "\n";
    }
    Answer AskOkCancel(MessageKind, const std::string&) override { return answer; }
    Answer AskYesNoCancel(const std::string&) override { return answer == Answer::Ok ? Answer::No : answer; }
    std::optional<std::string> ChooseFile(const FileChoice&) override { return std::nullopt; }
    void BusyCursor(bool) override {}

  private:
    std::ostream& err_;
};

} // namespace velmora::cli
