// Dialogs: the only way a step model talks to the person at the keyboard.
//
// The desktop program shows real dialogs, the command line answers from a script and
// writes to stderr, and the tests record every call and answer from a list.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/axis_configuration.h"

namespace velmora {

class TfmAscii;

enum class MessageKind { Warning, Error, Information };
enum class Answer { Ok, Cancel, Yes, No };

struct FileChoice {
    bool save = false;            // a save dialog (else an open dialog)
    std::string defaultExtension; // "fl3"
    std::string filter;           // "design file |*.fl3"
    std::string initialFolder;
    std::string fileName; // proposed name
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    virtual void Beep() = 0;
    // A message with an OK button.
    virtual void Message(MessageKind kind, const std::string& text) = 0;
    // OK / Cancel.
    virtual Answer AskOkCancel(MessageKind kind, const std::string& text) = 0;
    // Yes / No / Cancel.
    virtual Answer AskYesNoCancel(const std::string& text) = 0;
    // The chosen file, or nothing when the dialog is cancelled.
    virtual std::optional<std::string> ChooseFile(const FileChoice& request) = 0;
    virtual void BusyCursor(bool busy) = 0;
    // The ASCII export's options window over the step model that holds its state, shown
    // modally; false for Cancel. A front end without such a window takes the options as
    // they are.
    virtual bool EditAsciiOptions(TfmAscii& window) {
        (void)window;
        return true;
    }
    // The Configure Axes dialog: the settings the person applies, or nothing when the
    // dialog is cancelled. A front end without such a dialog leaves the axes as they are.
    virtual std::optional<AxisConfiguration> ConfigureAxes(const AxesRequest& request) {
        (void)request;
        return std::nullopt;
    }
};

} // namespace velmora
