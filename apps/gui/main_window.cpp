#include "main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>

#include "inventory_window.h"
#include "ngspice_runner.h"
#include "qt_surface.h"
#include "report_output.h"
#include "spice_dialog.h"
#include "ui/report_painter.h"
#include "ui/spec_template.h"
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
    const Changed changed = [this] { Sync(); };
    spec_ = new SpecWindow(model_->ParEnt, design_, changed, this);
    spec_->mayClose = [this] { return model_->ParEntClose(); };
    graph_ = new GraphWindow(model_->Graph, changed, this);
    user_ = new UserWindow(model_->User, changed, this);
    dbConvert_ = new DbConvertWindow(model_->DbConvert, changed, this);
    dbConvert_->closed = [this] { model_->DbConvertVisible = false; };
    resValues_ = new ResValuesWindow(model_->ResValues, this);
    resValues_->closed = [this] { model_->ResValuesVisible = false; };
    transfer_ = new TransferWindow(model_->Transfer, changed, this);
    view_ = new ViewWindow(model_->View, changed, this);
    ngspice_ = new NgspiceRunner(design_, model_->View, *dialogs_, view_);
    ngspice_->Finished = [this] { Sync(); };
    connect(view_->Simulate, &QPushButton::clicked, this, [this] { ngspice_->Start(); });
    // Until the stage windows exist, leaving the ideal responses shows the stages the
    // automatic steps built, as their coefficient table.
    const auto toGraph = model_->Graph.OnNext;
    model_->Graph.OnNext = [this, toGraph] {
        if (toGraph) toGraph();
        if (model_->LastHandOver == NextWindow::CircuitSelection) {
            model_->CirSel.Visible = false;
            model_->Transfer.FormShow();
        }
    };
    // From the stages table the circuits are chosen and calculated automatically and
    // the final responses shown.
    transfer_->finalResponses = [this] {
        if (model_->FinalResponsesClick()) model_->Transfer.Visible = false;
    };
    BuildMenus();
    auto* hint = new QLabel("Start a design from the Start Design menu, or open a design file.");
    hint->setObjectName("Hint");
    hint->setMargin(12);
    setCentralWidget(hint);
    resize(820, 150);
    Sync();
}

MainWindow::~MainWindow() = default;

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
    Sync();
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
    QAction* copy = Add(fileMenu_, "Copy &to Clipboard", [this] { CopyToClipboard(); });
    QAction* ascii = Add(fileMenu_, "Save data to &Ascii File", [&m] { m.SavetoAsciiFile1Click(); });
    QAction* spice = Add(fileMenu_, "Save SPICE &Netlist", [this] { ShowSpiceForm(); });
    QAction* print = Add(fileMenu_, "&Print", [this] { Print(); });
    QAction* printReport =
        Add(fileMenu_, "Print &Report...", [this] { PrintReport(design_, this, PrintReportToFile); });
    QAction* exportPdf = Add(fileMenu_, "&Export PDF...", [this] { ExportReportPdf(design_, *dialogs_); });
    graphCommands_ = {copy, ascii, spice, print, printReport, exportPdf};
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
    QAction* criteria = Add(options, "Stage &cascading criteria", [&m] { m.StageCascadingcriteria1Click(); });
    QMenu* units = options->addMenu("Frequency units");
    hz_ = Add(units, "Hz", [&m] { m.Hz1Click(); });
    rads_ = Add(units, "rad/s", [&m] { m.rads1Click(); });
    QAction* characteristics =
        Add(options, "C&omponent characteristics", [&m] { m.Componentcharacteristics1Click(); });
    allCaps_ = Add(options, "&All capacitors standard values", [&m] { m.Allcapsstandardvalues1Click(); });
    QAction* transfer = Add(options, "Show &transfer function", [&m] { m.Showtransferfunction1Click(); });
    for (QAction* a : {autoPair_, uiPair_, autoCascade_, uiCascade_, hz_, rads_, allCaps_})
        a->setCheckable(true);
    // The interactive pairing and cascading windows, their criteria and the component
    // characteristics belong to the stage windows of the next part.
    for (QAction* a : {uiPair_, uiCascade_, criteria, characteristics})
        a->setEnabled(false);

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
    button(copy, "Copy", "Copy to Clipboard");
    button(ascii, "ASCII", "Filter Data to ASCII File");
    button(spice, "SPICE", "Save SPICE Netlist");
    button(print, "Print", "Print");
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

void MainWindow::Sync() {
    TfmMain& m = *model_;
    const TDesign& d = design_;
    setWindowTitle(QString::fromStdString(m.Caption));
    hz_->setChecked(d.Opt.FreqUnitsHz);
    rads_->setChecked(!d.Opt.FreqUnitsHz);
    autoPair_->setChecked(d.Opt.AutoPairing);
    uiPair_->setChecked(!d.Opt.AutoPairing);
    autoCascade_->setChecked(d.Opt.AutoCascading);
    uiCascade_->setChecked(!d.Opt.AutoCascading);
    allCaps_->setChecked(d.Components.AllCapsStandard);
    useCap_->setChecked(d.Components.UseCapInventory);
    useRes_->setChecked(d.Components.UseResInventory);
    for (QAction* a : graphCommands_)
        a->setEnabled(m.GraphCommandsEnabled);
    SyncRecentFiles();

    auto show = [](auto* window, bool visible) {
        if (visible) {
            window->Sync();
            window->show();
        } else {
            window->hide();
        }
    };
    show(spec_, m.ParEnt.Visible);
    show(graph_, m.Graph.Visible);
    show(user_, m.User.Visible);
    show(dbConvert_, m.DbConvertVisible);
    show(resValues_, m.ResValuesVisible);
    show(transfer_, m.Transfer.Visible);
    show(view_, m.View.Visible);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!model_->Exit1Click()) {
        e->ignore();
        return;
    }
    e->accept();
}

void MainWindow::CopyToClipboard() {
    // The pictures of the open graph windows, one under the other.
    QList<QImage> pictures;
    if (graph_->isVisible())
        pictures << graph_->Picture->Render(graph_->Picture->width(), graph_->Picture->height());
    if (spec_->isVisible())
        pictures << spec_->Template->Render(spec_->Template->width(), spec_->Template->height());
    if (user_->isVisible()) pictures << user_->Graph->Render(user_->Graph->width(), user_->Graph->height());
    if (view_->isVisible())
        pictures << view_->Picture->Render(view_->Picture->width(), view_->Picture->height());
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

// The printed report: the specification's template and every tab of the ideal
// responses, one picture a page, or the user-defined filter's sections and magnitude.
void MainWindow::Print() {
    QPrinter printer(QPrinter::HighResolution);
    if (!PrintToFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(PrintToFile);
    } else {
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted) return;
    }
    printer.setPageOrientation(QPageLayout::Landscape);
    std::vector<std::function<void(DrawingSurface&)>> pages;
    TfmMain& m = *model_;
    if (design_.Spec.FilterType == velmora::UserDefined) {
        pages.push_back([&m](DrawingSurface& s) { m.User.Paint(s); });
    } else {
        pages.push_back([this](DrawingSurface& s) {
            PaintSpecTemplate(
                s, SpecTemplateOf(model_->ParEnt, design_.Spec.FilterType, design_.Opt.FreqUnitsHz));
        });
    }
    if (m.Graph.Axes.Freq.Max > 0) // the graphs have been drawn for this design
        for (int tab = 0; tab < kGraphTabCount; ++tab)
            pages.push_back(
                [&m, tab](DrawingSurface& s) { m.Graph.PaintTab(s, static_cast<GraphTab>(tab)); });
    QPainter p(&printer);
    const double w = 800, h = 600; // the pictures' size; the page scales it
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) printer.newPage();
        const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
        const double scale = std::min(page.width() / w, page.height() / h);
        p.setViewport(0, 0, int(w * scale), int(h * scale));
        p.setWindow(0, 0, int(w), int(h));
        QtSurface s(p, w, h);
        pages[i](s);
    }
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
