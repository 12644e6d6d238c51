// Dialogs with Qt: message boxes with the step models' exact texts, the file dialogs
// with their filters and initial folders (under the per-user data folder), the beep and
// the busy cursor.
#pragma once

#include <QWidget>

#include "ui/dialogs.h"

namespace velmora::gui {

class QtDialogs : public Dialogs {
  public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Beep() override;
    void Message(MessageKind kind, const std::string& text) override;
    Answer AskOkCancel(MessageKind kind, const std::string& text) override;
    Answer AskYesNoCancel(const std::string& text) override;
    std::optional<std::string> ChooseFile(const FileChoice& request) override;
    void BusyCursor(bool busy) override;
    bool EditAsciiOptions(TfmAscii& window) override;
    std::optional<AxisConfiguration> ConfigureAxes(const AxesRequest& request) override;

  private:
    QWidget* parent_;
};

// "design file |*.fl3" as a Qt filter: "design file (*.fl3)".
QString QtFilter(const std::string& filter);
// The folder a file dialog starts in: an absolute path as it is, else that folder under
// the per-user data folder (created on demand).
QString InitialFolder(const std::string& folder);

} // namespace velmora::gui
