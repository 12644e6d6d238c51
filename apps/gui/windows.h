// The step windows and tool windows of the desktop program. Each shows one step model
// and forwards input to its handlers; `changed` tells the main window to show every
// model's state again.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>

#include "ui/tfm_graph.h"
#include "ui/tfm_par_ent.h"
#include "ui/tfm_tools.h"
#include "ui/tfm_transfer.h"
#include "ui/tfm_user.h"
#include "ui/tfm_view.h"
#include "widgets.h"

namespace velmora::gui {

using Changed = std::function<void()>;

// A top-level window of a step: closing it hides the step (`closed` is told), unless
// `mayClose` says no.
class StepWindow : public QWidget {
  public:
    explicit StepWindow(QWidget* parent);
    std::function<void()> closed;
    std::function<bool()> mayClose;

  protected:
    void closeEvent(QCloseEvent* e) override;
};

// Moves the keyboard focus to the field the model asked for (and takes the request).
void ApplyFocus(std::string& focus, const std::map<std::string, QWidget*>& widgets);

class SpecWindow : public StepWindow {
  public:
    SpecWindow(TfmParEnt& model, const TDesign& design, Changed changed, QWidget* parent);
    void Sync();

    std::map<std::string, EntryEdit*> Fields; // by control name (NumEdit1 ...)
    std::map<std::string, QLabel*> Labels;    // the labels beside the fields
    std::array<QComboBox*, 4> Units{};        // CB1 .. CB4
    QCheckBox* ForceOrder = nullptr;
    QPushButton *Calculate = nullptr, *Next = nullptr;
    QTabWidget* Tabs = nullptr;
    PictureWidget* Template = nullptr;
    QTableWidget* Results = nullptr;

  private:
    TfmParEnt& m_;
    const TDesign& d_;
    Changed changed_;
    void SyncTable();
};

class GraphWindow : public StepWindow {
  public:
    GraphWindow(TfmGraph& model, Changed changed, QWidget* parent);
    void Sync();

    QTabBar* Tabs = nullptr;
    PictureWidget* Picture = nullptr;
    std::array<QRadioButton*, 2> Display{};
    std::array<QRadioButton*, kApproxCount> Approx{};
    std::array<QLabel*, kApproxCount> Orders{};
    QPushButton *Zoom = nullptr, *Unzoom = nullptr, *Configure = nullptr, *Next = nullptr;
    QGroupBox* PointCalc = nullptr;
    QLabel* PointCaption = nullptr;
    QLineEdit* PointEntry = nullptr;
    QListWidget* PointLines = nullptr;
    QGroupBox* PoleZero = nullptr;
    QLabel* ClickHint = nullptr; // what a click on the graph does, until it was done
    QListWidget* PoleZeroLines = nullptr;

  private:
    TfmGraph& m_;
    Changed changed_;
};

class UserWindow : public StepWindow {
  public:
    UserWindow(TfmUser& model, Changed changed, QWidget* parent);
    void Sync();

    std::array<QRadioButton*, 2> Order{};
    std::array<QRadioButton*, 4> Type{};
    std::array<QRadioButton*, 2> Mode{};
    std::map<std::string, EntryEdit*> Fields; // Edit1 .. Edit4, EditTo
    std::map<std::string, QLabel*> Labels;
    QLabel *Unit = nullptr, *OrderCaption = nullptr;
    PictureWidget *Template = nullptr, *Graph = nullptr;
    QListWidget* List = nullptr;
    QPushButton *Add = nullptr, *Delete = nullptr, *Up = nullptr, *Down = nullptr, *Next = nullptr;

  private:
    TfmUser& m_;
    Changed changed_;
};

class DbConvertWindow : public StepWindow {
  public:
    DbConvertWindow(TfmDbConvert& model, Changed changed, QWidget* parent);
    void Sync();
    QLineEdit *Db = nullptr, *Vv = nullptr;
    QPushButton *ToVv = nullptr, *ToDb = nullptr;

  private:
    TfmDbConvert& m_;
};

class ResValuesWindow : public StepWindow {
  public:
    ResValuesWindow(TfmResValues& model, QWidget* parent);
    void Sync();
    QComboBox* Series = nullptr;
    QLabel* Title = nullptr;
    QTableWidget* Values = nullptr;

  private:
    TfmResValues& m_;
};

class TransferWindow : public StepWindow {
  public:
    TransferWindow(TfmTransfer& model, Changed changed, QWidget* parent);
    void Sync();
    QRadioButton *Hz = nullptr, *Rad = nullptr;
    // "Final Responses": set by the main window; the button shows while it is set.
    QPushButton* FinalResponses = nullptr;
    std::function<void()> finalResponses;
    QTableWidget* Table = nullptr;
    QLabel* Notes = nullptr;

  private:
    TfmTransfer& m_;
};

class ViewWindow : public StepWindow {
  public:
    ViewWindow(TfmView& model, Changed changed, QWidget* parent);
    void Sync();

    QTabBar* Tabs = nullptr;
    PictureWidget* Picture = nullptr;
    std::array<QCheckBox*, kFinalVariantCount> Variants{};
    QRadioButton *AllStages = nullptr, *RangeStages = nullptr;
    QSpinBox *FromStage = nullptr, *ToStage = nullptr;
    QPushButton *Zoom = nullptr, *Unzoom = nullptr, *Configure = nullptr;
    QPushButton* Simulate = nullptr; // the main window runs ngspice
    // "Monte Carlo": the runs and the distribution, the button that starts the analysis in
    // the background, its progress bar and Cancel while it runs, and the status (the
    // progress, the yield, or why there is none). A timer polls the model while it runs.
    QSpinBox* McRuns = nullptr;
    QComboBox* McDistribution = nullptr;
    QPushButton *MonteCarlo = nullptr, *McCancel = nullptr;
    QProgressBar* McProgress = nullptr;
    QLabel* McStatus = nullptr;
    QTimer* McTimer = nullptr;
    QGroupBox* PointCalc = nullptr;
    QLabel* PointCaption = nullptr;
    QLineEdit* PointEntry = nullptr;
    QListWidget* PointLines = nullptr;
    QLabel* Note = nullptr;
    QTableWidget* CheckTable = nullptr;

  private:
    TfmView& m_;
    Changed changed_;
    void SyncMonteCarlo();
};

} // namespace velmora::gui
