// The inventory editor over TfmInvent: the range boxes, the grid of the section's values
// (one column per decade, a value in stock marked "*"), quick select, the count line, and
// OK, which writes the inventory file. Every click goes to the model and the window shows
// the model again.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "ui/tfm_invent.h"

namespace velmora::gui {

class InventoryWindow : public QDialog {
  public:
    InventoryWindow(TfmInvent& model, QWidget* parent = nullptr);
    // Shows the model's state.
    void Load();

    QLabel *MinLabel, *MaxLabel, *CountLine;
    QComboBox *Min, *Max, *QuickSelect;
    QTableWidget* Grid;
    QPushButton *Ok, *Cancel;

  private:
    TfmInvent& m_;
};

} // namespace velmora::gui
