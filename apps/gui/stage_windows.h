// The windows from the stages to the calculated circuit: pairing, cascading with its
// criteria, the gain summary and its adjustment, the circuit selection, the component
// calculation with its adjustment forms, compensation, sensitivities and the component
// characteristics. Each shows its step model and forwards input to its handlers;
// StageWindows owns them and wires the steps' hand-overs.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableWidget>
#include <array>

#include "ui/tfm_main.h"
#include "windows.h"

namespace velmora::gui {

// Shows the model's tab captions (rebuilt only when they changed) and its current tab,
// without telling the window about the change.
void SetTabs(QTabBar* bar, const std::vector<std::string>& tabs, int current);

class PairsWindow : public StepWindow {
  public:
    PairsWindow(TfmPairs& model, Changed changed, QWidget* parent);
    void Sync();
    QListWidget *Poles = nullptr, *Zeros = nullptr, *Pairs = nullptr;
    QPushButton *Add = nullptr, *Undo = nullptr, *UndoAll = nullptr, *AutoAddAll = nullptr, *Next = nullptr;
    std::function<void()> next; // "Next": the main model takes the pairs and hands over

  private:
    TfmPairs& m_;
    bool syncing_ = false;
    void TakeSelections();
};

class CascadeWindow : public StepWindow {
  public:
    CascadeWindow(TfmCascade& model, Changed changed, QWidget* parent);
    void Sync();
    QTableWidget* Table = nullptr;
    QPushButton *Up = nullptr, *Down = nullptr, *Cascade = nullptr, *Criteria = nullptr, *Back = nullptr,
                *Next = nullptr;
    std::function<void()> next; // the main model decides where "Next" and "Back" lead
    std::function<void()> back;

  private:
    TfmCascade& m_;
};

class ACritWindow : public StepWindow {
  public:
    ACritWindow(TfmACrit& model, Changed changed, QWidget* parent);
    void Sync();
    std::array<std::array<QCheckBox*, 5>, 2> Checks{};
    std::array<std::array<QPushButton*, 5>, 2> Priorities{};
    QRadioButton *ByQp = nullptr, *ByFlatness = nullptr;
    QPushButton *OK = nullptr, *Cancel = nullptr;
    std::function<void()> accepted; // OK closed the dialog

  private:
    TfmACrit& m_;
};

class GainWindow : public StepWindow {
  public:
    GainWindow(TfmGain& model, Changed changed, QWidget* parent);
    void Sync();
    PictureWidget* Grid = nullptr;
    QLabel *SpecifiedDb = nullptr, *SpecifiedVV = nullptr, *ActualDb = nullptr, *ActualVV = nullptr;
    QPushButton *Adjust = nullptr, *Close = nullptr;

  private:
    TfmGain& m_;
};

class GainAdWindow : public StepWindow {
  public:
    GainAdWindow(Tfmgainad& model, Changed changed, QWidget* parent);
    void Sync();
    QTabBar* Tabs = nullptr;
    QLineEdit* Gain = nullptr;
    QPushButton *Accept = nullptr, *Reset = nullptr, *OK = nullptr;

  private:
    Tfmgainad& m_;
    bool syncing_ = false;
};

class CharacteristicsWindow : public StepWindow {
  public:
    CharacteristicsWindow(TfmCharacteristics& model, Changed changed, QWidget* parent);
    void Sync();
    QComboBox *ResistorTolerance = nullptr, *CapacitorTolerance = nullptr, *TempRise = nullptr;
    QLineEdit *ResistorTempCo = nullptr, *CapacitorTempCo = nullptr;
    QTabBar* Tabs = nullptr;
    QLineEdit *Gbw = nullptr, *Noise = nullptr;
    QComboBox *GbwTolerance = nullptr, *GbwTempCo = nullptr;
    QPushButton *OK = nullptr, *Cancel = nullptr;
    std::function<void()> ok; // the main window's OK: the model's, then the re-runs

  private:
    TfmCharacteristics& m_;
    bool syncing_ = false;
    void TakeStage();
};

class CompSensWindow : public StepWindow {
  public:
    CompSensWindow(TfmCompSens& model, Changed changed, QWidget* parent);
    void Sync();
    QTabBar* Tabs = nullptr;
    PictureWidget* Table = nullptr;
    QPushButton* Close = nullptr;

  private:
    TfmCompSens& m_;
    bool syncing_ = false;
};

class CirSelWindow : public StepWindow {
  public:
    CirSelWindow(TfmCirSel& model, Changed changed, QWidget* parent);
    void Sync();
    QTabBar* Tabs = nullptr;
    QLabel *Parameters = nullptr, *CircuitName = nullptr, *Selected = nullptr;
    PictureWidget* Schematic = nullptr;
    QPushButton *First = nullptr, *Prior = nullptr, *NextCircuit = nullptr, *Last = nullptr,
                *Select = nullptr;
    // The metrics panel, line by line, and the gain-spread boxes.
    QLabel *Spread = nullptr, *Counts = nullptr, *Desired = nullptr, *Actual = nullptr, *Fixed = nullptr,
           *Phase = nullptr, *GbwCaption = nullptr, *Gbw = nullptr, *Legend = nullptr,
           *SpreadCaption = nullptr, *ActiveZero = nullptr;
    PictureWidget* Bars = nullptr;
    QCheckBox *Passive = nullptr, *Active = nullptr;
    QPushButton *Components = nullptr, *Back = nullptr, *Next = nullptr, *Close = nullptr,
                *Strategy = nullptr;

  private:
    TfmCirSel& m_;
    bool syncing_ = false;
};

class CirCalWindow : public StepWindow {
  public:
    CirCalWindow(TfmCirCal& model, Changed changed, QWidget* parent);
    void Sync();
    QTabBar* Tabs = nullptr; // stages
    QListWidget* Steps = nullptr;
    QLabel* Instruction = nullptr;
    std::array<QPushButton*, 3> Quick{};
    QTabBar* Pages = nullptr; // "Calc", "Tune", "Sens"
    QStackedWidget* PageStack = nullptr;
    PictureWidget *Schematic = nullptr, *Tuning = nullptr;
    QLabel* Unable = nullptr;
    QPushButton* Sensitivities = nullptr;
    QLabel *Parameters = nullptr, *CircuitName = nullptr;
    QLabel *Gbw = nullptr, *Gain = nullptr, *Mode = nullptr, *Standard = nullptr, *SpreadEffect = nullptr;
    QTableWidget* Values = nullptr;
    // The controls of the steps; each shows only on its step.
    QGroupBox *Variations = nullptr, *Adjust = nullptr, *StandardR = nullptr;
    QCheckBox *C2Variable = nullptr, *C1EqC2 = nullptr, *StandardCheck = nullptr;
    std::array<QRadioButton*, 3> AdjustChoices{};
    std::array<QRadioButton*, 2> Strategies{};
    QPushButton *UpArrow = nullptr, *DownArrow = nullptr, *Reset = nullptr, *Next = nullptr;
    QPushButton* Back = nullptr;
    std::function<void()> back; // the main model decides where "Back" leads

  private:
    TfmCirCal& m_;
    bool syncing_ = false;
};

class CapAdjWindow : public QDialog {
  public:
    CapAdjWindow(TfmCirCal& model, Changed changed, QWidget* parent);
    void Sync();
    QLabel *Current = nullptr, *Min = nullptr, *Max = nullptr, *Constraint = nullptr;
    QLineEdit* Entry = nullptr;
    QPushButton *Stnd = nullptr, *OK = nullptr;

  private:
    TfmCirCal& m_;
};

class ResAdjWindow : public QDialog {
  public:
    ResAdjWindow(TfmCirCal& model, Changed changed, QWidget* parent);
    void Sync();
    QLabel* Title = nullptr;
    QLineEdit* Entry = nullptr;
    QPushButton *SpinUp = nullptr, *SpinDown = nullptr, *OK = nullptr, *Cancel = nullptr;

  private:
    TfmCirCal& m_;
};

class CompensateWindow : public StepWindow {
  public:
    CompensateWindow(TfmCompensate& model, Changed changed, QWidget* parent);
    void Sync();
    QTabBar* Tabs = nullptr;
    std::array<QRadioButton*, 3> Choices{};
    QPushButton *OK = nullptr, *Cancel = nullptr;

  private:
    TfmCompensate& m_;
    bool syncing_ = false;
};

// The windows above, created over the main model's step models; they forward clicks
// to it, and the main window shows each one whose model is visible.
class StageWindows {
  public:
    StageWindows(TfmMain& main, std::function<void(QWidget*)> acted, QWidget* parent);

    PairsWindow* Pairs = nullptr;
    CascadeWindow* Cascade = nullptr;
    ACritWindow* ACrit = nullptr;
    GainWindow* Gain = nullptr;
    GainAdWindow* GainAd = nullptr;
    CharacteristicsWindow* Characteristics = nullptr;
    CirSelWindow* CirSel = nullptr;
    CirCalWindow* CirCal = nullptr;
    CapAdjWindow* CapAdj = nullptr;
    ResAdjWindow* ResAdj = nullptr;
    CompensateWindow* Compensate = nullptr;
    CompSensWindow* CompSens = nullptr;
};

} // namespace velmora::gui
