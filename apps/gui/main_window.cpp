#include "main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <cmath>
#include <utility>

#include "inventory_window.h"
#include "ngspice_runner.h"
#include "qt_surface.h"
#include "report_output.h"
#include "spice_dialog.h"
#include "stage_windows.h"
#include "ui/comparison_painter.h"
#include "ui/report_painter.h"
#include "windows.h"

namespace velmora::gui {

MainWindow::MainWindow(Dialogs* dialogs) {
    if (!dialogs) {
        ownDialogs_ = std::make_unique<QtDialogs>(this);
        dialogs = ownDialogs_.get();
    }
    dialogs_ = dialogs;
    model_ = std::make_unique<TfmMain>(design_, *dialogs_);
    model_->OpenHelp = [this](const std::string& path) { OpenHelp(path); };
    // A change made anywhere (a command, a step window, a test driving the model) is
    // drawn once the event that made it has been handled.
    subscription_ = model_->Changes.Subscribe([this](app::DesignPart part) {
        pending_ |= 1u << static_cast<int>(part);
        if (redrawQueued_) return;
        redrawQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            redrawQueued_ = false;
            if (pending_) InputHandled(nullptr);
        });
    });
    TfmMain& m = *model_;
    using P = app::DesignPart;
    spec_ = new SpecWindow(
        m.ParEnt, design_, [this] { InputHandled(spec_); }, this);
    spec_->mayClose = [this] { return model_->ParEntClose(); };
    graph_ = new GraphWindow(
        m.Graph, [this] { InputHandled(graph_); }, this);
    user_ = new UserWindow(
        m.User, [this] { InputHandled(user_); }, this);
    dbConvert_ = new DbConvertWindow(
        m.DbConvert, [this] { InputHandled(dbConvert_); }, this);
    dbConvert_->closed = [this] { model_->DbConvertVisible = false; };
    resValues_ = new ResValuesWindow(m.ResValues, this);
    resValues_->closed = [this] { model_->ResValuesVisible = false; };
    transfer_ = new TransferWindow(
        m.Transfer, [this] { InputHandled(transfer_); }, this);
    view_ = new ViewWindow(
        m.View, [this] { InputHandled(view_); }, this);
    ngspice_ = new NgspiceRunner(design_, m.View, *dialogs_, view_);
    ngspice_->Finished = [this] { InputHandled(view_); };
    connect(view_->Simulate, &QPushButton::clicked, this, [this] { ngspice_->Start(); });
    AddView(
        spec_, [&m] { return m.ParEnt.Visible; }, [this] { spec_->Sync(); },
        {P::Specification, P::Approximations});
    AddView(
        graph_, [&m] { return m.Graph.Visible; }, [this] { graph_->Sync(); },
        {P::Specification, P::Approximations, P::Stages});
    AddView(
        user_, [&m] { return m.User.Visible; }, [this] { user_->Sync(); },
        {P::Specification, P::Approximations});
    AddView(
        dbConvert_, [&m] { return m.DbConvertVisible; }, [this] { dbConvert_->Sync(); }, {});
    AddView(
        resValues_, [&m] { return m.ResValuesVisible; }, [this] { resValues_->Sync(); }, {});
    AddView(
        transfer_, [&m] { return m.Transfer.Visible; }, [this] { transfer_->Sync(); },
        {P::Stages, P::Circuits});
    transfer_->closed = [this] {
        model_->Transfer.Visible = false;
        InputHandled(nullptr);
    };
    // The stage and circuit windows, each drawn when it appears, takes input or shows a
    // part that changed.
    stages_ = std::make_unique<StageWindows>(
        m, [this](QWidget* acted) { InputHandled(acted); }, this);
    StageWindows& st = *stages_;
    AddView(
        st.Pairs, [&m] { return m.Pairs.Visible; }, [&st] { st.Pairs->Sync(); }, {P::Stages});
    AddView(
        st.Cascade, [&m] { return m.Cascade.Visible; }, [&st] { st.Cascade->Sync(); }, {P::Stages});
    AddView(
        st.ACrit, [&m] { return m.ACrit.Visible; }, [&st] { st.ACrit->Sync(); }, {});
    AddView(
        st.Gain, [&m] { return m.Gain.Visible; }, [&st] { st.Gain->Sync(); }, {P::Stages, P::Components});
    AddView(
        st.GainAd, [&m] { return m.GainAd.Visible; }, [&st] { st.GainAd->Sync(); }, {P::Stages});
    AddView(
        st.Characteristics, [&m] { return m.Characteristics.Visible; }, [&st] { st.Characteristics->Sync(); },
        {P::Components});
    AddView(
        st.CirSel, [&m] { return m.CirSel.Visible; }, [&st] { st.CirSel->Sync(); },
        {P::Specification, P::Stages, P::Circuits, P::Components});
    AddView(
        st.CirCal, [&m] { return m.CirCal.Visible; }, [&st] { st.CirCal->Sync(); },
        {P::Specification, P::Stages, P::Circuits, P::Components});
    AddView(
        st.CapAdj, [&m] { return m.CirCal.Visible && m.CirCal.CapAdj.Visible; }, [&st] { st.CapAdj->Sync(); },
        {P::Components});
    AddView(
        st.ResAdj, [&m] { return m.CirCal.Visible && m.CirCal.ResAdj.Visible; }, [&st] { st.ResAdj->Sync(); },
        {P::Components});
    AddView(
        st.Compensate, [&m] { return m.Compensate.Visible; }, [&st] { st.Compensate->Sync(); },
        {P::Circuits, P::Components});
    AddView(
        st.CompSens, [&m] { return m.CirCal.CompSens.Visible; }, [&st] { st.CompSens->Sync(); },
        {P::Circuits, P::Components});
    transfer_->finalResponses = [this] { model_->FinalResponsesClick(); };
    AddView(
        view_, [&m] { return m.View.Visible; }, [this] { view_->Sync(); },
        {P::Specification, P::Circuits, P::Components, P::Analyses});
    BuildMenus();
    auto* hint = new QLabel("Start a design from the Start Design menu, or open a design file.");
    hint->setObjectName("Hint");
    hint->setMargin(12);
    setCentralWidget(hint);
    resize(820, 150);
    Sync();
}

MainWindow::~MainWindow() {
    model_->Changes.Unsubscribe(subscription_);
}

void MainWindow::AddView(QWidget* window, std::function<bool()> visible, std::function<void()> draw,
                         std::initializer_list<app::DesignPart> parts) {
    unsigned bits = 0;
    for (app::DesignPart p : parts)
        bits |= 1u << static_cast<int>(p);
    views_.push_back({window, std::move(visible), std::move(draw), bits});
}

int MainWindow::Draws(QWidget* window) const {
    for (const StepView& v : views_)
        if (v.window == window) return v.draws;
    return 0;
}

void MainWindow::InputHandled(QWidget* acted) {
    const unsigned changed = std::exchange(pending_, 0u);
    SyncCommands();
    for (StepView& v : views_) {
        if (!v.visible()) {
            v.window->hide();
            continue;
        }
        const bool appearing = !v.window->isVisible();
        if (appearing || v.window == acted || (changed & v.parts)) {
            v.draw();
            ++v.draws;
        }
        if (appearing) v.window->show();
    }
}

bool MainWindow::Start() {
    const bool ok = model_->FormCreate();
    Sync();
    return ok;
}

QAction* MainWindow::Add(QMenu* menu, const QString& text, std::function<void()> handler,
                         const QString& hint) {
    QAction* a = menu->addAction(text);
    connect(a, &QAction::triggered, this, [this, handler] { Run(handler); });
    if (!hint.isEmpty()) a->setToolTip(hint);
    return a;
}

void MainWindow::Run(const std::function<void()>& handler) {
    handler();
    InputHandled(nullptr);
}

QAction* MainWindow::Command(const QString& text) const {
    for (QAction* a : findChildren<QAction*>())
        if (QString(a->text()).remove('&').trimmed() == text) return a;
    return nullptr;
}

void MainWindow::BuildMenus() {
    TfmMain& m = *model_;
    QToolBar* tools = addToolBar("Commands");
    tools->setObjectName("ToolBar");
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto button = [tools](QAction* a, const QString& label, const QString& hint) {
        QAction* b = tools->addAction(label);
        b->setToolTip(hint);
        connect(b, &QAction::triggered, a, &QAction::trigger);
        connect(a, &QAction::changed, b, [a, b] { b->setEnabled(a->isEnabled()); });
        b->setEnabled(a->isEnabled());
    };

    fileMenu_ = menuBar()->addMenu("&File");
    QAction* open = Add(fileMenu_, "&Open Design...", [&m] { m.open1Click(); });
    Add(fileMenu_, "&Save Design", [&m] { m.Savedesign1Click(); });
    QAction* saveAs = Add(fileMenu_, "Save &Design As...", [&m] { m.Savedesignas1Click(); });
    Add(fileMenu_, "&Close Design", [&m] { m.CloseDesign1Click(); });
    fileMenu_->addSeparator();
    copy_ = Add(fileMenu_, "Copy &to Clipboard", [this] { CopyToClipboard(); });
    ascii_ = Add(fileMenu_, "Save data to &Ascii File", [&m] { m.SavetoAsciiFile1Click(); });
    spice_ = Add(fileMenu_, "Save SPICE &Netlist", [this] { ShowSpiceForm(); });
    // Print and its preview show the one design report, the same pages Export PDF writes.
    print_ = Add(fileMenu_, "&Print", [this] { PrintReport(design_, this, PrintToFile); });
    printReport_ =
        Add(fileMenu_, "Print Pre&view...", [this] { PreviewReport(design_, this, PrintReportToFile); });
    exportPdf_ = Add(fileMenu_, "&Export PDF...", [this] { ExportReportPdf(design_, *dialogs_); });
    recentSeparator_ = fileMenu_->addSeparator();
    fileMenu_->addSeparator();
    Add(fileMenu_, "E&xit", [this] { close(); });

    QMenu* start = menuBar()->addMenu("&Start Design");
    QAction* lp = Add(start, "&Lowpass", [&m] { m.Lowpass1Click(); });
    QAction* hp = Add(start, "&Highpass", [&m] { m.Highpass1Click(); });
    QAction* bp = Add(start, "&Bandpass", [&m] { m.Bandpass1Click(); });
    QAction* bs = Add(start, "Band&stop", [&m] { m.Bandstop1Click(); });
    QAction* ud = Add(start, "&User defined", [&m] { m.userdefined1Click(); });

    QMenu* options = menuBar()->addMenu("&Options");
    QMenu* pairing = options->addMenu("Pole-zero pairing");
    autoPair_ = Add(pairing, "&Automatic", [&m] { m.Auto1Click(); });
    uiPair_ = Add(pairing, "&User-interactive", [&m] { m.UI1Click(); });
    QMenu* cascading = options->addMenu("Stage cascading");
    autoCascade_ = Add(cascading, "&Automatic", [&m] { m.Auto2Click(); });
    uiCascade_ = Add(cascading, "&User-interactive", [&m] { m.UI2Click(); });
    Add(options, "Stage &cascading criteria", [&m] { m.StageCascadingcriteria1Click(); });
    QMenu* units = options->addMenu("Frequency units");
    hz_ = Add(units, "Hz", [&m] { m.Hz1Click(); });
    rads_ = Add(units, "rad/s", [&m] { m.rads1Click(); });
    Add(options, "C&omponent characteristics", [&m] { m.Componentcharacteristics1Click(); });
    allCaps_ = Add(options, "&All capacitors standard values", [&m] { m.Allcapsstandardvalues1Click(); });
    QAction* transfer = transferCommand_ =
        Add(options, "Show &transfer function", [&m] { m.Showtransferfunction1Click(); });
    for (QAction* a : {autoPair_, uiPair_, autoCascade_, uiCascade_, hz_, rads_, allCaps_})
        a->setCheckable(true);

    QMenu* inventory = menuBar()->addMenu("&Inventory");
    QMenu* capacitor = inventory->addMenu("&Capacitor");
    useCap_ = Add(capacitor, "&Enable", [&m] { m.Usecapinventory1Click(); });
    Add(capacitor, "E&dit", [this, &m] {
        m.Editcapinventory1Click();
        ShowInventory();
    });
    QMenu* resistor = inventory->addMenu("&Resistor");
    useRes_ = Add(resistor, "&Enable", [&m] { m.Useresinventory1Click(); });
    QMenu* editRes = resistor->addMenu("Edit");
    Add(editRes, "&1 percent", [this, &m] {
        m.N1percent1Click();
        ShowInventory();
    });
    Add(editRes, "&5 percent", [this, &m] {
        m.N5percent1Click();
        ShowInventory();
    });
    Add(editRes, "1&0 percent", [this, &m] {
        m.N10percent1Click();
        ShowInventory();
    });
    useCap_->setCheckable(true);
    useRes_->setCheckable(true);

    QMenu* toolsMenu = menuBar()->addMenu("&Tools");
    Add(toolsMenu, "&dB<-->V/V", [&m] { m.dBVV1Click(); });
    Add(toolsMenu, "&Resistor values ", [&m] { m.Resistor1Click(); });

    QMenu* help = menuBar()->addMenu("&Help");
    Add(help, "&Contents", [&m] { m.Contents1Click(); });
    Add(help, "&Topic Search", [&m] { m.Contents1Click(); });
    Add(help, "&How to Use Help", [&m] { m.Contents1Click(); });

    button(open, "Open", "Open Design");
    button(saveAs, "Save As", "Save Design as..");
    button(copy_, "Copy", "Copy to Clipboard");
    button(ascii_, "ASCII", "Filter Data to ASCII File");
    button(spice_, "SPICE", "Save SPICE Netlist");
    button(print_, "Print", "Print");
    tools->addSeparator();
    button(lp, "LP", "Lowpass Filter");
    button(hp, "HP", "Highpass Filter");
    button(bp, "BP", "Bandpass Filter");
    button(bs, "BS", "Bandstop Filter");
    button(ud, "User", "User-Defined Filter");
    tools->addSeparator();
    QAction* toggle = tools->addAction("Hz / rad/s");
    toggle->setToolTip("Toggle Hz..Rad/s");
    connect(toggle, &QAction::triggered, this, [this] { Run([this] { model_->SpeedButton8Click(); }); });
    toggle->setObjectName("UnitToggle");
    button(transfer, "T(s)", "Show transfer function");
}

void MainWindow::SyncRecentFiles() {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    const std::vector<std::string> captions = model_->RecentFileCaptions();
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        auto* a = new QAction(QString::fromStdString(captions[i]), fileMenu_);
        connect(a, &QAction::triggered, this,
                [this, i] { Run([this, i] { model_->RecentFileClick(i + 1); }); });
        fileMenu_->insertAction(recentSeparator_, a);
        recentActions_ << a;
    }
}

void MainWindow::SyncCommands() {
    const TfmMain::CommandStates c = model_->Commands();
    setWindowTitle(QString::fromStdString(model_->Caption));
    hz_->setChecked(c.HzChecked);
    rads_->setChecked(c.RadsChecked);
    autoPair_->setChecked(c.AutoPairingChecked);
    uiPair_->setChecked(c.InteractivePairingChecked);
    autoCascade_->setChecked(c.AutoCascadingChecked);
    uiCascade_->setChecked(c.InteractiveCascadingChecked);
    allCaps_->setChecked(c.AllCapsStandardChecked);
    useCap_->setChecked(c.CapInventoryChecked);
    useRes_->setChecked(c.ResInventoryChecked);
    copy_->setEnabled(c.CopyEnabled);
    print_->setEnabled(c.PrintEnabled);
    spice_->setEnabled(c.SpiceEnabled);
    // The report reaches as far as the design does; it needs the approximations at least.
    printReport_->setEnabled(c.AsciiEnabled);
    exportPdf_->setEnabled(c.AsciiEnabled);
    ascii_->setEnabled(c.AsciiEnabled);
    transferCommand_->setEnabled(c.TransferEnabled);
    SyncRecentFiles();
}

void MainWindow::Sync() {
    pending_ = ~0u;
    InputHandled(nullptr);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!model_->Exit1Click()) {
        e->ignore();
        return;
    }
    e->accept();
}

namespace {
// The comparison grid at its own size, measured with the fonts it is painted in.
QImage ComparisonPicture(const ComparisonTable& t) {
    constexpr double kFontSize = 13;
    QImage probe(1, 1, QImage::Format_RGB32);
    PointD size;
    {
        QPainter p(&probe);
        QtSurface s(p, 1, 1);
        size = ComparisonTableSize(s, t, kFontSize);
    }
    QImage image(int(std::ceil(size.X)) + 1, int(std::ceil(size.Y)) + 1, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QtSurface s(p, image.width(), image.height());
    PaintComparisonTable(s, t, kFontSize);
    return image;
}
} // namespace

void MainWindow::CopyToClipboard() {
    // The pictures of the open graph windows, one under the other.
    QList<QImage> pictures;
    if (graph_->isVisible())
        pictures << graph_->Picture->Render(graph_->Picture->width(), graph_->Picture->height());
    if (spec_->isVisible()) {
        pictures << spec_->Template->Render(spec_->Template->width(), spec_->Template->height());
        // The approximation comparison, painted as the report prints it.
        if (!model_->ParEnt.Table.empty()) pictures << ComparisonPicture(model_->ParEnt.Table);
    }
    if (user_->isVisible()) pictures << user_->Graph->Render(user_->Graph->width(), user_->Graph->height());
    if (view_->isVisible())
        pictures << view_->Picture->Render(view_->Picture->width(), view_->Picture->height());
    // The circuit steps: the candidate's schematic, and the calculated stage's.
    for (PictureWidget* p : {stages_->CirSel->isVisible() ? stages_->CirSel->Schematic : nullptr,
                             stages_->CirCal->isVisible() ? stages_->CirCal->Schematic : nullptr})
        if (p) pictures << p->Render(p->width(), p->height());
    if (pictures.isEmpty()) return;
    int w = 0, h = 0;
    for (const QImage& p : pictures)
        w = std::max(w, p.width()), h += p.height();
    QImage all(w, h, QImage::Format_RGB32);
    all.fill(Qt::white);
    QPainter painter(&all);
    int y = 0;
    for (const QImage& p : pictures) {
        painter.drawImage(0, y, p);
        y += p.height();
    }
    QApplication::clipboard()->setImage(all);
}

void MainWindow::OpenHelp(const std::string& path) {
    if (ShowHelp) {
        ShowHelp(QString::fromStdString(path));
        return;
    }
    auto* browser = findChild<QTextBrowser*>("Help");
    if (!browser) {
        browser = new QTextBrowser(this);
        browser->setObjectName("Help");
        browser->setWindowFlag(Qt::Window);
        browser->setWindowTitle("Velmora manual");
        browser->setOpenExternalLinks(true);
        browser->resize(820, 700);
    }
    browser->setSource(QUrl::fromLocalFile(QString::fromStdString(path)), QTextDocument::MarkdownResource);
    browser->show();
    browser->raise();
}

// The netlist form, modal but not blocking: the model decides when it closes.
void MainWindow::ShowSpiceForm() {
    model_->CreateSPICEnetlist1Click();
    if (!spiceForm_) spiceForm_ = new SpiceDialog(model_->Spice, this);
    spiceForm_->Load();
    spiceForm_->open();
}

void MainWindow::ShowInventory() {
    if (!model_->Invent.Visible) return;
    if (!inventoryForm_) inventoryForm_ = new InventoryWindow(model_->Invent, this);
    inventoryForm_->Load();
    inventoryForm_->open();
}

} // namespace velmora::gui
