// "Save Ascii data": the parts of the ASCII data file, over TfmAscii. The check boxes show
// what the model offers (a part the design has not reached is greyed) and OK keeps the
// choice in the model, which writes the file.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <array>

#include "ui/tfm_ascii.h"

namespace velmora::gui {

class AsciiDialog : public QDialog {
  public:
    AsciiDialog(TfmAscii& model, QWidget* parent = nullptr);
    std::array<QCheckBox*, 4> Parts{}; // input parameters, coefficients, poles and zeros, frequency data
    QPushButton *Ok = nullptr, *Cancel = nullptr;

  private:
    TfmAscii& m_;
};

// The modal options window QtDialogs::EditAsciiOptions shows: true for OK.
bool EditAsciiOptionsModal(TfmAscii& model, QWidget* parent);

} // namespace velmora::gui
