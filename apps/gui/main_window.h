// The main window: menus and tool bar of the design workflow over TfmMain, and the step
// windows it shows. Every command calls the model's handler; the windows whose parts of
// the design the model reports changed are drawn again, the others are left as they
// are. Which window follows which, and what a change re-runs, the model decides.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <memory>

#include "app/design_session.h"
#include "model/design.h"
#include "qt_dialogs.h"
#include "ui/tfm_main.h"

namespace velmora::gui {

class SpecWindow;
class GraphWindow;
class UserWindow;
class DbConvertWindow;
class ResValuesWindow;
class TransferWindow;
class ViewWindow;
class StageWindows;
class SpiceDialog;
class InventoryWindow;
class NgspiceRunner;

class MainWindow : public QMainWindow {
  public:
    // With no Dialogs given, real Qt dialogs; tests pass a recording one.
    explicit MainWindow(Dialogs* dialogs = nullptr);
    ~MainWindow() override;

    TfmMain& Model() { return *model_; }
    TDesign& Design() { return design_; }
    // Reads the settings file; false when the program cannot run.
    bool Start();
    // Shows every window as the models say, each drawn again.
    void Sync();

    // A step window over a model: shown while `visible` says so, drawn when it appears,
    // after input of its own, and whenever one of `parts` of the design changed. The
    // windows of the later steps register here.
    void AddView(QWidget* window, std::function<bool()> visible, std::function<void()> draw,
                 std::initializer_list<app::DesignPart> parts);
    // What a registered window calls after forwarding input to its model: the menus,
    // the caption and the windows shown follow the models; the window itself and every
    // window showing a changed part are drawn again.
    void InputHandled(QWidget* window);
    // How often a window was drawn (tests: a window is drawn only when it has to be).
    int Draws(QWidget* window) const;

    SpecWindow* Spec() { return spec_; }
    GraphWindow* Graph() { return graph_; }
    UserWindow* User() { return user_; }
    DbConvertWindow* DbConvert() { return dbConvert_; }
    ResValuesWindow* ResValues() { return resValues_; }
    TransferWindow* Transfer() { return transfer_; }
    ViewWindow* View() { return view_; }
    // The windows from the pairing to the calculated circuit.
    StageWindows* Stages() { return stages_.get(); }
    SpiceDialog* SpiceForm() { return spiceForm_; }             // once File > Save SPICE Netlist has run
    InventoryWindow* InventoryForm() { return inventoryForm_; } // once an inventory editor opened
    NgspiceRunner* Ngspice() { return ngspice_; }               // the final responses' simulation
    // A command by its menu text without the ampersands ("Lowpass", "Save Design").
    QAction* Command(const QString& text) const;

    // Help > Contents is shown in the default browser when one can be started, else
    // in a window of the program.
    std::function<void(const QString& path)> ShowHelp;
    // File > Print prints the report to this PDF file instead of asking for a printer (tests).
    QString PrintToFile;
    // File > Print Preview... prints to this PDF file instead of showing the preview (tests).
    QString PrintReportToFile;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    TDesign design_;
    std::unique_ptr<QtDialogs> ownDialogs_;
    Dialogs* dialogs_;
    std::unique_ptr<TfmMain> model_;
    SpecWindow* spec_ = nullptr;
    GraphWindow* graph_ = nullptr;
    UserWindow* user_ = nullptr;
    DbConvertWindow* dbConvert_ = nullptr;
    ResValuesWindow* resValues_ = nullptr;
    TransferWindow* transfer_ = nullptr;
    ViewWindow* view_ = nullptr;
    std::unique_ptr<StageWindows> stages_;
    SpiceDialog* spiceForm_ = nullptr;
    InventoryWindow* inventoryForm_ = nullptr;
    NgspiceRunner* ngspice_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    QList<QAction*> recentActions_;
    QAction *hz_ = nullptr, *rads_ = nullptr, *autoPair_ = nullptr, *uiPair_ = nullptr,
            *autoCascade_ = nullptr, *uiCascade_ = nullptr, *allCaps_ = nullptr, *useCap_ = nullptr,
            *useRes_ = nullptr;
    QAction *copy_ = nullptr, *ascii_ = nullptr, *spice_ = nullptr, *print_ = nullptr,
            *transferCommand_ = nullptr;
    QAction *printReport_ = nullptr, *exportPdf_ = nullptr;

    struct StepView {
        QWidget* window;
        std::function<bool()> visible;
        std::function<void()> draw;
        unsigned parts; // DesignPart bits
        int draws = 0;
    };
    std::vector<StepView> views_;
    unsigned pending_ = 0;      // the parts changed since the windows were last drawn
    bool redrawQueued_ = false; // a redraw is queued for changes made outside a command
    int subscription_ = 0;

    void BuildMenus();
    QAction* Add(QMenu* menu, const QString& text, std::function<void()> handler, const QString& hint = {});
    void Run(const std::function<void()>& handler);
    void SyncCommands();
    void CopyToClipboard();
    void ShowSpiceForm();
    void ShowInventory();
    void OpenHelp(const std::string& path);
    void SyncRecentFiles();
};

} // namespace velmora::gui
