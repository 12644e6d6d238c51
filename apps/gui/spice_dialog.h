// "Spice File Specifications": the SPICE netlist form over TfmSpice. The widgets show the
// model's controls and hand every change back; OK and Cancel are the model's handlers,
// and the form closes when the model says so (a refused entry keeps it open).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/tfm_spice.h"

namespace velmora::gui {

class SpiceDialog : public QDialog {
  public:
    SpiceDialog(TfmSpice& model, QWidget* parent);
    // Shows the model's state.
    void Load();

    QLineEdit *Start, *End, *Points, *Runs;
    QComboBox *StartUnit, *EndUnit, *ResistorTolerance, *CapacitorTolerance, *Dialect;
    QCheckBox *Probe, *Print, *Plot, *MonteCarlo;
    QRadioButton *Vcvs, *SinglePole;
    QPushButton *Ok, *Cancel;

  private:
    void Store(); // the widgets into the model
    TfmSpice& m_;
};

} // namespace velmora::gui
