// "Simulate in ngspice" of the final-response window: the netlist written into a scratch
// folder, ngspice run on it in the background (a progress window whose Cancel ends it),
// and the simulated response handed to the window's model to draw over its curves. When
// ngspice is missing or fails the person is told so, with ngspice's output to read.
#pragma once

#include <QObject>
#include <QProcess>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "model/design.h"
#include "ui/dialogs.h"
#include "ui/tfm_view.h"

namespace velmora::gui {

class NgspiceRunner : public QObject {
  public:
    NgspiceRunner(TDesign& design, TfmView& view, Dialogs& dialogs, QWidget* parent);
    ~NgspiceRunner() override;

    // Starts a simulation of the circuits the window shows (with single-pole op amps when
    // the op-amp curve is checked). Nothing happens while one is running.
    void Start();
    bool Running() const;
    void Cancel();
    // Called when a simulation has ended, whatever its outcome (the window redraws).
    std::function<void()> Finished;
    // The program run ("ngspice"; tests name one that does not exist).
    QString Program = "ngspice";
    // The output of the last run, for the failure message.
    QString LastOutput;

  private:
    void Done(bool ok, const std::string& failure);
    TDesign& d_;
    TfmView& view_;
    Dialogs& dlg_;
    QWidget* parent_;
    std::unique_ptr<QTemporaryDir> dir_;
    QProcess* process_ = nullptr;
    QProgressDialog* progress_ = nullptr;
};

} // namespace velmora::gui
