// The stage windows: pairing, cascading and its criteria, the gain summary and its
// adjustment, the component characteristics and the sensitivity table.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "stage_windows.h"

namespace velmora::gui {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QPushButton* Button(const char* text, QWidget* owner, std::function<void()> handler) {
    auto* b = new QPushButton(text);
    QObject::connect(b, &QPushButton::clicked, owner, std::move(handler));
    return b;
}

void FillList(QListWidget* list, const std::vector<std::string>& rows) {
    const QSignalBlocker block(list);
    list->clear();
    for (const std::string& r : rows)
        list->addItem(Q(r));
}

} // namespace

void SetTabs(QTabBar* bar, const std::vector<std::string>& tabs, int current) {
    const QSignalBlocker block(bar);
    bool same = bar->count() == static_cast<int>(tabs.size());
    for (int i = 0; same && i < bar->count(); ++i)
        same = bar->tabText(i) == Q(tabs[static_cast<std::size_t>(i)]);
    if (!same) {
        while (bar->count() > 0)
            bar->removeTab(0);
        for (const std::string& t : tabs)
            bar->addTab(Q(t));
        // A bar laid out while it had no tabs keeps no height of its own otherwise.
        bar->setMinimumHeight(tabs.empty() ? 0 : bar->sizeHint().height());
    }
    bar->setCurrentIndex(current);
}

// ---- Pairing --------------------------------------------------------------------------

PairsWindow::PairsWindow(TfmPairs& model, Changed changed, QWidget* parent) : StepWindow(parent), m_(model) {
    setObjectName("PairsWindow");
    closed = [this, changed] {
        m_.Visible = false;
        changed();
    };
    Poles = new QListWidget;
    Zeros = new QListWidget;
    Pairs = new QListWidget;
    for (QListWidget* l : {Poles, Zeros})
        l->setSelectionMode(QAbstractItemView::MultiSelection);
    for (QListWidget* l : {Poles, Zeros, Pairs}) {
        l->setFont(QFont("Monospace", 9));
        connect(l, &QListWidget::itemSelectionChanged, this, [this] { TakeSelections(); });
    }
    const auto run = [this, changed](std::function<void()> f) {
        return [this, changed, f] {
            TakeSelections();
            f();
            changed();
        };
    };
    Add = Button("Add", this, run([this] { m_.AddClick(); }));
    Undo = Button("Undo", this, run([this] { m_.UndoClick(); }));
    UndoAll = Button("Undo All", this, run([this] { m_.UndoAllClick(); }));
    AutoAddAll = Button("Auto Add All", this, run([this] { m_.AutoAddAllClick(); }));
    Next = Button("Next", this, [this, changed] {
        if (next) next();
        changed();
    });
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Poles"), 0, 0);
    grid->addWidget(new QLabel("Zeros"), 0, 1);
    grid->addWidget(Poles, 1, 0);
    grid->addWidget(Zeros, 1, 1);
    grid->addWidget(new QLabel("Pole-zero pairs (stages)"), 2, 0, 1, 2);
    grid->addWidget(Pairs, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Add, Undo, UndoAll, AutoAddAll})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(Next);
    grid->addLayout(buttons, 4, 0, 1, 2);
    resize(900, 480);
}

void PairsWindow::TakeSelections() {
    if (syncing_) return;
    m_.SelectedPoleRows.clear();
    m_.SelectedZeroRows.clear();
    for (int i = 0; i < Poles->count(); ++i)
        if (Poles->item(i)->isSelected()) m_.SelectedPoleRows.push_back(i);
    for (int i = 0; i < Zeros->count(); ++i)
        if (Zeros->item(i)->isSelected()) m_.SelectedZeroRows.push_back(i);
    m_.SelectedPairRow = Pairs->currentRow();
}

void PairsWindow::Sync() {
    syncing_ = true;
    setWindowTitle(Q(m_.Caption));
    FillList(Poles, m_.PoleRows);
    FillList(Zeros, m_.ZeroRows);
    FillList(Pairs, m_.PairRows);
    for (int i : m_.SelectedPoleRows)
        if (i < Poles->count()) Poles->item(i)->setSelected(true);
    for (int i : m_.SelectedZeroRows)
        if (i < Zeros->count()) Zeros->item(i)->setSelected(true);
    if (m_.SelectedPairRow >= 0 && m_.SelectedPairRow < Pairs->count())
        Pairs->setCurrentRow(m_.SelectedPairRow);
    syncing_ = false;
}

// ---- Cascading ------------------------------------------------------------------------

CascadeWindow::CascadeWindow(TfmCascade& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("CascadeWindow");
    closed = [this, changed] {
        m_.Visible = false;
        changed();
    };
    Table = new QTableWidget(0, 3);
    Table->setHorizontalHeaderLabels({"Stage", "Type", "Flatness"});
    Table->verticalHeader()->hide();
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(Table, &QTableWidget::cellClicked, this, [this, changed](int row, int) {
        m_.RowClick(row);
        changed();
    });
    const auto run = [this, changed](std::function<void()> f) {
        return [changed, f] {
            f();
            changed();
        };
    };
    Up = Button("Up", this, run([this] { m_.UpClick(); }));
    Down = Button("Down", this, run([this] { m_.DownClick(); }));
    Cascade = Button("Cascade", this, run([this] { m_.CascadeClick(); }));
    Criteria = Button("Criteria", this, run([this] { m_.CriteriaClick(); }));
    Back = Button("Back", this, run([this] {
                      if (back) back();
                  }));
    Next = Button("Next", this, run([this] {
                      if (next) next();
                  }));
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {Up, Down, Cascade, Criteria})
        side->addWidget(b);
    side->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(Table, 1);
    top->addLayout(side);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(Back);
    foot->addWidget(Next);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(foot);
    resize(520, 320);
}

void CascadeWindow::Sync() {
    setWindowTitle(Q(m_.Caption));
    const QSignalBlocker block(Table);
    Table->setRowCount(static_cast<int>(m_.Rows.size()));
    for (int r = 0; r < static_cast<int>(m_.Rows.size()); ++r) {
        const TfmCascade::Row& row = m_.Rows[static_cast<std::size_t>(r)];
        int c = 0;
        for (const std::string* cell : {&row.stage, &row.type, &row.flatness}) {
            auto* item = new QTableWidgetItem(Q(*cell));
            item->setTextAlignment(Qt::AlignCenter);
            Table->setItem(r, c++, item);
        }
    }
    Table->clearSelection();
    if (m_.Selected >= 0) Table->selectRow(m_.Selected);
    Up->setEnabled(m_.UpEnabled);
    Down->setEnabled(m_.DownEnabled);
}

ACritWindow::ACritWindow(TfmACrit& model, Changed changed, QWidget* parent) : StepWindow(parent), m_(model) {
    setObjectName("ACritWindow");
    closed = [this, changed] {
        if (m_.Visible) m_.CancelClick();
        changed();
    };
    auto* layout = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    for (int list = 0; list < 2; ++list) {
        auto* box = new QGroupBox(TfmACrit::ListTitles[static_cast<std::size_t>(list)]);
        box->setToolTip(TfmACrit::ListHints[static_cast<std::size_t>(list)]);
        auto* g = new QGridLayout(box);
        g->addWidget(new QLabel("Priority"), 0, 1);
        for (int opt = 1; opt <= 4; ++opt) {
            auto*& check = Checks[static_cast<std::size_t>(list)][static_cast<std::size_t>(opt)];
            auto*& prio = Priorities[static_cast<std::size_t>(list)][static_cast<std::size_t>(opt)];
            check = new QCheckBox(
                Q(TfmACrit::OptionTexts[static_cast<std::size_t>(list)][static_cast<std::size_t>(opt)]));
            prio = new QPushButton;
            prio->setFixedWidth(36);
            connect(check, &QCheckBox::clicked, this, [this, list, opt, changed] {
                m_.CheckClick(list, opt);
                changed();
            });
            connect(prio, &QPushButton::clicked, this, [this, list, opt, changed] {
                m_.PriorityClick(list, opt);
                changed();
            });
            g->addWidget(check, opt, 0);
            g->addWidget(prio, opt, 1);
        }
        lists->addWidget(box);
    }
    layout->addLayout(lists);
    auto* order = new QGroupBox(Q(m_.OrderTitle));
    auto* ol = new QHBoxLayout(order);
    ByQp = new QRadioButton(Q(m_.OrderChoices[0]));
    ByFlatness = new QRadioButton(Q(m_.OrderChoices[1]));
    ol->addWidget(ByQp);
    ol->addWidget(ByFlatness);
    connect(ByQp, &QRadioButton::clicked, this, [this] { m_.OrderClick(true); });
    connect(ByFlatness, &QRadioButton::clicked, this, [this] { m_.OrderClick(false); });
    layout->addWidget(order);
    OK = Button("OK", this, [this, changed] {
        if (m_.OKClick() && accepted) accepted();
        changed();
    });
    Cancel = Button("Cancel", this, [this, changed] {
        m_.CancelClick();
        changed();
    });
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(OK);
    foot->addWidget(Cancel);
    layout->addLayout(foot);
}

void ACritWindow::Sync() {
    setWindowTitle(Q(m_.Caption));
    for (int list = 0; list < 2; ++list)
        for (int opt = 1; opt <= 4; ++opt) {
            Checks[static_cast<std::size_t>(list)][static_cast<std::size_t>(opt)]->setChecked(
                m_.Checked(list, opt));
            QPushButton* p = Priorities[static_cast<std::size_t>(list)][static_cast<std::size_t>(opt)];
            p->setText(Q(m_.PriorityText(list, opt)));
            p->setEnabled(m_.Checked(list, opt));
        }
    (m_.OrderByQp() ? ByQp : ByFlatness)->setChecked(true);
}

// ---- Gain -------------------------------------------------------------------------------

GainWindow::GainWindow(TfmGain& model, Changed changed, QWidget* parent) : StepWindow(parent), m_(model) {
    setObjectName("GainWindow");
    closed = [this, changed] {
        m_.Visible = false;
        changed();
    };
    Grid = new PictureWidget;
    Grid->paint = [this](DrawingSurface& s) { PaintGainGrid(s, m_); };
    Grid->setMinimumSize(460, 120);
    auto* overall = new QGroupBox("Overall Filter Gain");
    auto* g = new QGridLayout(overall);
    SpecifiedDb = new QLabel;
    SpecifiedVV = new QLabel;
    ActualDb = new QLabel;
    ActualVV = new QLabel;
    g->addWidget(new QLabel("Specified:"), 0, 0);
    g->addWidget(new QLabel("dB:"), 0, 1);
    g->addWidget(SpecifiedDb, 0, 2);
    g->addWidget(new QLabel("V/V:"), 0, 3);
    g->addWidget(SpecifiedVV, 0, 4);
    g->addWidget(new QLabel("Actual:"), 1, 0);
    g->addWidget(new QLabel("dB:"), 1, 1);
    g->addWidget(ActualDb, 1, 2);
    g->addWidget(new QLabel("V/V:"), 1, 3);
    g->addWidget(ActualVV, 1, 4);
    Adjust = Button("Adjust stage gains", this, [this, changed] {
        m_.AdjustClick();
        changed();
    });
    Close = Button("Close", this, [this, changed] {
        m_.CloseClick();
        changed();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid, 1);
    layout->addWidget(overall);
    auto* foot = new QHBoxLayout;
    foot->addWidget(Adjust);
    foot->addStretch(1);
    foot->addWidget(Close);
    layout->addLayout(foot);
}

void GainWindow::Sync() {
    setWindowTitle(Q(m_.Caption));
    Grid->setMinimumHeight(static_cast<int>(GainGridHeight(m_)));
    SpecifiedDb->setText(Q(m_.SpecifiedDb));
    SpecifiedVV->setText(Q(m_.SpecifiedVV));
    ActualDb->setText(Q(m_.ActualDb));
    ActualVV->setText(Q(m_.ActualVV));
    Grid->update();
}

GainAdWindow::GainAdWindow(Tfmgainad& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("GainAdWindow");
    closed = [this, changed] {
        m_.Visible = false;
        changed();
    };
    Tabs = new QTabBar;
    connect(Tabs, &QTabBar::currentChanged, this, [this, changed](int i) {
        if (syncing_) return;
        m_.TabChange(i);
        changed();
    });
    Gain = new QLineEdit;
    connect(Gain, &QLineEdit::textEdited, this, [this](const QString& t) { m_.GainText = t.toStdString(); });
    Accept = Button("Accept", this, [this, changed] {
        m_.AcceptClick();
        changed();
    });
    Reset = Button("Reset", this, [this, changed] {
        m_.ResetClick();
        changed();
    });
    OK = Button("OK", this, [this, changed] {
        m_.OKClick();
        changed();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tabs);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(Q(m_.GainLabel)));
    row->addWidget(Gain, 1);
    row->addWidget(Accept);
    row->addWidget(Reset);
    layout->addLayout(row);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(OK);
    layout->addLayout(foot);
}

void GainAdWindow::Sync() {
    syncing_ = true;
    setWindowTitle(Q(m_.Caption));
    SetTabs(Tabs, m_.Tabs, m_.TabIndex);
    Gain->setText(Q(m_.GainText));
    syncing_ = false;
}

// ---- Component characteristics -------------------------------------------------------

CharacteristicsWindow::CharacteristicsWindow(TfmCharacteristics& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("CharacteristicsWindow");
    closed = [this, changed] {
        m_.CancelClick();
        changed();
    };
    const auto combo = [](const std::vector<std::string>& items) {
        auto* c = new QComboBox;
        for (const std::string& i : items)
            c->addItem(Q(i));
        return c;
    };
    ResistorTolerance = combo(m_.ToleranceItems);
    CapacitorTolerance = combo(m_.ToleranceItems);
    TempRise = combo(m_.TempRiseItems);
    ResistorTempCo = new QLineEdit;
    CapacitorTempCo = new QLineEdit;
    auto* passive = new QGroupBox("Resistors and capacitors");
    auto* pg = new QGridLayout(passive);
    pg->addWidget(new QLabel(""), 0, 0);
    pg->addWidget(new QLabel("Tolerance (%)"), 0, 1);
    pg->addWidget(new QLabel("Temp. coefficient (ppm/\xC2\xB0"
                             "C)"),
                  0, 2);
    pg->addWidget(new QLabel("Resistors"), 1, 0);
    pg->addWidget(ResistorTolerance, 1, 1);
    pg->addWidget(ResistorTempCo, 1, 2);
    pg->addWidget(new QLabel("Capacitors"), 2, 0);
    pg->addWidget(CapacitorTolerance, 2, 1);
    pg->addWidget(CapacitorTempCo, 2, 2);
    pg->addWidget(new QLabel("Temperature rise (\xC2\xB0"
                             "C)"),
                  3, 0, 1, 2);
    pg->addWidget(TempRise, 3, 2);
    Tabs = new QTabBar;
    Gbw = new QLineEdit;
    Noise = new QLineEdit;
    GbwTolerance = combo(m_.GbwToleranceItems);
    GbwTempCo = combo(m_.GbwTempCoItems);
    auto* opamp = new QGroupBox("Op amp of the stage");
    auto* og = new QGridLayout(opamp);
    og->addWidget(Tabs, 0, 0, 1, 2);
    og->addWidget(new QLabel("GBW (MHz)"), 1, 0);
    og->addWidget(Gbw, 1, 1);
    og->addWidget(new QLabel("GBW tolerance (%)"), 2, 0);
    og->addWidget(GbwTolerance, 2, 1);
    og->addWidget(new QLabel("GBW temp. coefficient (ppm/\xC2\xB0"
                             "C)"),
                  3, 0);
    og->addWidget(GbwTempCo, 3, 1);
    og->addWidget(new QLabel("Noise (nV/\xE2\x88\x9AHz)"), 4, 0);
    og->addWidget(Noise, 4, 1);
    // Every entry goes to the model at once; the tab change keeps each stage's entries.
    const auto take = [this] {
        if (syncing_) return;
        m_.ResistorToleranceIndex = ResistorTolerance->currentIndex();
        m_.CapacitorToleranceIndex = CapacitorTolerance->currentIndex();
        m_.TempRiseIndex = TempRise->currentIndex();
        m_.ResistorTempCoText = ResistorTempCo->text().toStdString();
        m_.CapacitorTempCoText = CapacitorTempCo->text().toStdString();
        TakeStage();
    };
    for (QComboBox* c : {ResistorTolerance, CapacitorTolerance, TempRise, GbwTolerance, GbwTempCo})
        connect(c, QOverload<int>::of(&QComboBox::currentIndexChanged), this, take);
    for (QLineEdit* e : {ResistorTempCo, CapacitorTempCo, Gbw, Noise})
        connect(e, &QLineEdit::textEdited, this, take);
    connect(Tabs, &QTabBar::currentChanged, this, [this](int i) {
        if (syncing_) return;
        m_.TabIndex = i;
        Sync();
    });
    OK = Button("OK", this, [this, changed] {
        if (ok) ok();
        changed();
    });
    Cancel = Button("Cancel", this, [this, changed] {
        m_.CancelClick();
        changed();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(passive);
    layout->addWidget(opamp);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(OK);
    foot->addWidget(Cancel);
    layout->addLayout(foot);
}

void CharacteristicsWindow::TakeStage() {
    if (m_.TabIndex < 0 || m_.TabIndex >= static_cast<int>(m_.Stages.size())) return;
    TfmCharacteristics::StageEntry& e = m_.Stages[static_cast<std::size_t>(m_.TabIndex)];
    e.GbwText = Gbw->text().toStdString();
    e.NoiseText = Noise->text().toStdString();
    e.GbwToleranceIndex = GbwTolerance->currentIndex();
    e.GbwTempCoIndex = GbwTempCo->currentIndex();
}

void CharacteristicsWindow::Sync() {
    syncing_ = true;
    setWindowTitle(Q(m_.Caption));
    ResistorTolerance->setCurrentIndex(m_.ResistorToleranceIndex);
    CapacitorTolerance->setCurrentIndex(m_.CapacitorToleranceIndex);
    TempRise->setCurrentIndex(m_.TempRiseIndex);
    ResistorTempCo->setText(Q(m_.ResistorTempCoText));
    CapacitorTempCo->setText(Q(m_.CapacitorTempCoText));
    SetTabs(Tabs, m_.Tabs, m_.TabIndex);
    const bool stage = m_.TabIndex >= 0 && m_.TabIndex < static_cast<int>(m_.Stages.size());
    for (QWidget* w : {static_cast<QWidget*>(Gbw), static_cast<QWidget*>(Noise),
                       static_cast<QWidget*>(GbwTolerance), static_cast<QWidget*>(GbwTempCo)})
        w->setEnabled(stage);
    if (stage) {
        const TfmCharacteristics::StageEntry& e = m_.Stages[static_cast<std::size_t>(m_.TabIndex)];
        Gbw->setText(Q(e.GbwText));
        Noise->setText(Q(e.NoiseText));
        GbwTolerance->setCurrentIndex(e.GbwToleranceIndex);
        GbwTempCo->setCurrentIndex(e.GbwTempCoIndex);
    }
    syncing_ = false;
}

// ---- Sensitivities --------------------------------------------------------------------

CompSensWindow::CompSensWindow(TfmCompSens& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("CompSensWindow");
    closed = [this, changed] {
        m_.CloseClick();
        changed();
    };
    Tabs = new QTabBar;
    connect(Tabs, &QTabBar::currentChanged, this, [this](int i) {
        if (syncing_) return;
        m_.TabChange(i + 1);
        Sync();
    });
    Table = new PictureWidget;
    Table->paint = [this](DrawingSurface& s) {
        s.SetBrush(colors::White);
        s.FillRect(0, 0, s.Width(), s.Height());
        m_.Paint(s, 10, 10);
    };
    Close = Button("Close", this, [this, changed] {
        m_.CloseClick();
        changed();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tabs);
    layout->addWidget(Table, 1);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(Close);
    layout->addLayout(foot);
    setWindowTitle("Sensitivities");
}

void CompSensWindow::Sync() {
    syncing_ = true;
    SetTabs(Tabs, m_.Tabs, m_.Stage - 1);
    // Room for every row and column of the table.
    const double columns = static_cast<double>(m_.ColumnTitles.size());
    Table->setMinimumSize(static_cast<int>(80 + columns * (2 * m_.HalfColumnWidth + 10) + 20),
                          static_cast<int>(70 + 22 * static_cast<double>(m_.Rows.size())));
    Table->update();
    syncing_ = false;
}

} // namespace velmora::gui
