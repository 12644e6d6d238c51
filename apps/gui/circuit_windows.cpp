// The circuit windows: the selection of each stage's circuit with its schematic and
// metrics, the component calculation with its steps, pages and the clickable
// schematic, the capacitor and resistor forms, and op-amp compensation.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <QPainter>

#include "circuits/schematic_layouts.h"
#include "qt_surface.h"
#include "stage_windows.h"
#include "ui/schematic_painter.h"

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

// A circuit's schematic, or, while it has no drawing, its name and component list.
void PaintCircuit(DrawingSurface& s, const std::string& key, bool compensated,
                  const std::map<std::string, std::string>& values) {
    s.SetBrush(colors::White);
    s.FillRect(0, 0, s.Width(), s.Height());
    if (key.empty()) return;
    if (const SchematicLayout* l = FindLayout(key, compensated)) {
        PaintSchematic(s, *l, values);
        return;
    }
    s.SetFont("Arial", 10);
    s.SetTextColor(colors::Text);
    s.TextOut(12, 12, key + (compensated ? " (compensated)" : "") + ": no schematic drawing of this circuit");
    double y = 36;
    for (const auto& [name, value] : values) {
        s.TextOut(24, y, name + " = " + value);
        y += 18;
    }
}

void SizeFor(PictureWidget* p, const std::string& key, bool compensated) {
    const SchematicLayout* l = key.empty() ? nullptr : FindLayout(key, compensated);
    const PointD size = l ? SchematicSize(*l) : PointD{420, 260};
    p->setMinimumSize(static_cast<int>(size.X), static_cast<int>(size.Y));
}

} // namespace

// ---- Circuit selection ----------------------------------------------------------------

CirSelWindow::CirSelWindow(TfmCirSel& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("CirSelWindow");
    closed = [this, changed] {
        m_.CloseClick();
        changed();
    };
    const auto run = [changed](std::function<void()> f) {
        return [changed, f] {
            f();
            changed();
        };
    };
    Tabs = new QTabBar;
    connect(Tabs, &QTabBar::currentChanged, this, [this, changed](int i) {
        if (syncing_) return;
        m_.TabChange(i);
        changed();
    });
    Parameters = new QLabel;
    CircuitName = new QLabel;
    Selected = new QLabel;
    QFont bold = Selected->font();
    bold.setBold(true);
    Selected->setFont(bold);
    Schematic = new PictureWidget;
    Schematic->paint = [this](DrawingSurface& s) { PaintCircuit(s, m_.CircuitKey, false, {}); };
    First = Button("|<", this, run([this] { m_.FirstClick(); }));
    Prior = Button("<", this, run([this] { m_.PriorClick(); }));
    NextCircuit = Button(">", this, run([this] { m_.NextCircuitClick(); }));
    Last = Button(">|", this, run([this] { m_.LastClick(); }));
    First->setToolTip("First circuit");
    Prior->setToolTip("Previous circuit");
    NextCircuit->setToolTip("Next circuit");
    Last->setToolTip("Last circuit");
    Select = Button("Select", this, run([this] { m_.SelectClick(); }));

    auto* metrics = new QGroupBox("Metrics");
    auto* mg = new QVBoxLayout(metrics);
    const auto label = [mg](const char* text = "") {
        auto* l = new QLabel(text);
        mg->addWidget(l);
        return l;
    };
    label("Component Spread");
    Spread = label();
    label("# Components");
    Counts = label();
    Desired = label();
    auto* actualRow = new QHBoxLayout;
    Actual = new QLabel;
    Fixed = new QLabel("F");
    Fixed->setStyleSheet("color: red; font-weight: bold");
    Fixed->setToolTip("The circuit fixes the stage gain");
    actualRow->addWidget(Actual);
    actualRow->addWidget(Fixed);
    actualRow->addStretch(1);
    mg->addLayout(actualRow);
    Phase = label();
    GbwCaption = label();
    Gbw = label();
    Legend = label();
    Legend->setStyleSheet("color: red");
    SpreadCaption = label();
    Bars = new PictureWidget;
    Bars->setMinimumSize(340, 110); // six boxes wide enough for "Excluded"
    Bars->paint = [this](DrawingSurface& s) { PaintSpreadBars(s, m_); };
    Bars->pressed = [this, changed](Qt::MouseButton, double x, double y) {
        const int k = SpreadBarAt(m_, Bars->width(), Bars->height(), x, y);
        if (k > 0) {
            m_.ExcludeClick(k);
            changed();
        }
    };
    Bars->moved = [this](double x, double y) {
        const int k = SpreadBarAt(m_, Bars->width(), Bars->height(), x, y);
        Bars->setCursor(k > 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
        Bars->setToolTip(k > 0 ? Q(m_.SpreadBars[static_cast<std::size_t>(k - 1)].Hint) : QString());
    };
    mg->addWidget(Bars);
    auto* parts = new QHBoxLayout;
    Passive = new QCheckBox(" Passive");
    Active = new QCheckBox(" Active");
    connect(Passive, &QCheckBox::clicked, this, run([this] { m_.PassiveClick(); }));
    connect(Active, &QCheckBox::clicked, this, run([this] { m_.ActiveClick(); }));
    parts->addWidget(Passive);
    parts->addWidget(Active);
    parts->addStretch(1);
    mg->addLayout(parts);
    ActiveZero = label();
    ActiveZero->setWordWrap(true);
    mg->addStretch(1);

    Components = Button("Components", this, run([this] { m_.ComponentsClick(); }));
    Back = Button("Back", this, run([this] { m_.BackClick(); }));
    Next = Button("Next", this, run([this] { m_.NextClick(); }));
    Close = Button("&Close", this, run([this] { m_.CloseClick(); }));
    Strategy = Button("Strategy", this, run([this] { m_.StrategyClick(); }));

    auto* nav = new QHBoxLayout;
    for (QPushButton* b : {First, Prior, NextCircuit, Last}) {
        b->setFixedWidth(40);
        nav->addWidget(b);
    }
    nav->addStretch(1);
    nav->addWidget(Selected);
    nav->addStretch(1);
    nav->addWidget(Select);
    auto* left = new QVBoxLayout;
    left->addWidget(Parameters);
    left->addWidget(Schematic, 1);
    left->addWidget(CircuitName);
    left->addLayout(nav);
    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addWidget(metrics);
    auto* foot = new QHBoxLayout;
    foot->addWidget(Components);
    foot->addWidget(Strategy);
    foot->addStretch(1);
    foot->addWidget(Back);
    foot->addWidget(Next);
    foot->addWidget(Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tabs);
    layout->addLayout(body, 1);
    layout->addLayout(foot);
}

void CirSelWindow::Sync() {
    syncing_ = true;
    setWindowTitle(Q(m_.Caption));
    SetTabs(Tabs, m_.Tabs, m_.TabIndex);
    Parameters->setText(Q(m_.StageParameters));
    CircuitName->setText(Q(m_.CircuitKey + "   " + m_.CircuitName));
    Selected->setText(Q(m_.SelectedCaption));
    SizeFor(Schematic, m_.CircuitKey, false);
    const CandidateTexts& t = m_.Metrics;
    Spread->setText(Q(t.SpreadR + t.SpreadC));
    Counts->setText(Q(t.Counts));
    Desired->setText(Q(t.DesiredGain));
    Actual->setText(Q(t.ActualGain));
    Actual->setStyleSheet(t.ActualGainRed ? "color: red" : "");
    Fixed->setVisible(t.FixedMark);
    Phase->setText(Q("DC Phase: " + t.DcPhase));
    GbwCaption->setText(Q(t.GbwCaption));
    Gbw->setText(Q(t.Gbw));
    Legend->setText(Q(t.Legend[0].empty() ? "" : t.Legend[0] + " " + t.Legend[1] + " " + t.Legend[2]));
    SpreadCaption->setText(Q(m_.GainSpreadCaption));
    Passive->setChecked(m_.ShowPassive);
    Active->setChecked(m_.ShowActive);
    Passive->setToolTip(Q(m_.PassiveHint));
    Active->setToolTip(Q(m_.ActiveHint));
    ActiveZero->setText(Q(m_.ActiveZeroNote));
    Select->setEnabled(m_.SelectEnabled);
    Next->setEnabled(m_.NextEnabled);
    First->setEnabled(m_.FirstEnabled);
    Prior->setEnabled(m_.PriorEnabled);
    NextCircuit->setEnabled(m_.NextCircuitEnabled);
    Last->setEnabled(m_.LastEnabled);
    Schematic->update();
    Bars->update();
    syncing_ = false;
}

// ---- Component calculation ------------------------------------------------------------

CirCalWindow::CirCalWindow(TfmCirCal& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("CirCalWindow");
    closed = [this, changed] {
        m_.Visible = false;
        changed();
    };
    const auto run = [changed](std::function<void()> f) {
        return [changed, f] {
            f();
            changed();
        };
    };
    Tabs = new QTabBar;
    connect(Tabs, &QTabBar::currentChanged, this, [this, changed](int i) {
        if (syncing_) return;
        m_.TabChange(i);
        changed();
    });

    // The steps.
    auto* steps = new QGroupBox("Design steps");
    auto* sl = new QVBoxLayout(steps);
    Steps = new QListWidget;
    Steps->setMinimumWidth(230);
    connect(Steps, &QListWidget::currentRowChanged, this, [this, changed](int row) {
        if (syncing_ || row < 0) return;
        m_.StepClick(row);
        changed();
    });
    Instruction = new QLabel;
    Instruction->setWordWrap(true);
    Instruction->setMinimumHeight(70);
    Instruction->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    Instruction->setFrameShape(QFrame::StyledPanel);
    sl->addWidget(Steps, 1);
    sl->addWidget(Instruction);
    auto* quick = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        Quick[static_cast<std::size_t>(i)] = Button(m_.QuickChoices[static_cast<std::size_t>(i)].c_str(),
                                                    this, run([this, i] { m_.QuickChoiceClick(i); }));
        quick->addWidget(Quick[static_cast<std::size_t>(i)]);
    }
    sl->addLayout(quick);

    Variations = new QGroupBox("Variations");
    auto* vl = new QVBoxLayout(Variations);
    C2Variable = new QCheckBox(" C2 variable");
    C1EqC2 = new QCheckBox(" C1=C2 : R1=R2");
    connect(C2Variable, &QCheckBox::clicked, this, run([this] { m_.C2VariableClick(); }));
    connect(C1EqC2, &QCheckBox::clicked, this, run([this] { m_.C1EqC2Click(); }));
    vl->addWidget(C2Variable);
    vl->addWidget(C1EqC2);

    Adjust = new QGroupBox("Adjust Values");
    auto* al = new QGridLayout(Adjust);
    for (int g = 0; g < 3; ++g) {
        auto*& r = AdjustChoices[static_cast<std::size_t>(g)];
        r = new QRadioButton;
        connect(r, &QRadioButton::clicked, this, run([this, g] { m_.AdjustGroupClick(g); }));
        al->addWidget(r, g, 0);
    }
    UpArrow = Button("\xE2\x96\xB2", this, run([this] { m_.UpArrowClick(); }));
    DownArrow = Button("\xE2\x96\xBC", this, run([this] { m_.DownArrowClick(); }));
    UpArrow->setToolTip("One step up");
    DownArrow->setToolTip("One step down");
    Reset = Button("Reset", this, run([this] { m_.ResetClick(); }));
    al->addWidget(UpArrow, 0, 1);
    al->addWidget(DownArrow, 1, 1);
    al->addWidget(Reset, 2, 1);

    StandardR = new QGroupBox("Standard R Values");
    auto* rl = new QVBoxLayout(StandardR);
    StandardCheck = new QCheckBox;
    connect(StandardCheck, &QCheckBox::clicked, this, run([this] { m_.StandardRClick(); }));
    rl->addWidget(StandardCheck);
    for (int i = 0; i < 2; ++i) {
        auto*& r = Strategies[static_cast<std::size_t>(i)];
        r = new QRadioButton(Q(m_.StrategyChoices[static_cast<std::size_t>(i)]));
        connect(r, &QRadioButton::clicked, this, run([this, i] { m_.StrategyClick(i); }));
        rl->addWidget(r);
    }
    auto* left = new QVBoxLayout;
    left->addWidget(steps, 1);
    left->addWidget(Variations);
    left->addWidget(Adjust);
    left->addWidget(StandardR);

    // The pages.
    Parameters = new QLabel;
    CircuitName = new QLabel;
    Pages = new QTabBar;
    for (const std::string& p : m_.Pages)
        Pages->addTab(Q(p));
    connect(Pages, &QTabBar::currentChanged, this, [this, changed](int i) {
        if (syncing_) return;
        m_.PageChange(i);
        changed();
    });
    PageStack = new QStackedWidget;
    auto* calc = new QWidget;
    auto* cl = new QVBoxLayout(calc);
    Schematic = new PictureWidget;
    Schematic->paint = [this](DrawingSurface& s) {
        PaintCircuit(s, m_.CircuitKey, m_.Compensated, m_.SchematicValues());
    };
    // A resistor or capacitor under the pointer can be clicked on the steps that adjust it.
    const auto clickable = [this](double x, double y) -> std::string {
        const SchematicLayout* l = FindLayout(m_.CircuitKey, m_.Compensated);
        if (!l) return "";
        const auto name = ComponentAt(*l, {x, y});
        if (!name) return "";
        const bool ok =
            ((*name)[0] == 'C' && m_.CapacitorsClickable) || ((*name)[0] == 'R' && m_.ResistorsClickable);
        return ok ? *name : "";
    };
    Schematic->moved = [this, clickable](double x, double y) {
        Schematic->setCursor(clickable(x, y).empty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
    };
    Schematic->pressed = [this, clickable, changed](Qt::MouseButton, double x, double y) {
        const std::string name = clickable(x, y);
        if (name.empty()) return;
        m_.ComponentClick(name);
        changed();
    };
    Schematic->setMouseTracking(true);
    Unable = new QLabel;
    Unable->setStyleSheet("color: red");
    cl->addWidget(Schematic, 1);
    cl->addWidget(Unable);
    auto* tuneScroll = new QScrollArea;
    Tuning = new PictureWidget;
    Tuning->paint = [this](DrawingSurface& s) { m_.PaintTuning(s); };
    Tuning->setMinimumSize(420, 400);
    tuneScroll->setWidget(Tuning);
    tuneScroll->setWidgetResizable(true);
    auto* sens = new QWidget;
    auto* snl = new QVBoxLayout(sens);
    auto* sensText = new QLabel("How strongly each resistor and capacitor of the stage moves its gain, "
                                "pole frequency, pole Q and zero frequency.");
    sensText->setWordWrap(true);
    Sensitivities = Button("Sensitivities", this, run([this] { m_.SensitivitiesClick(); }));
    snl->addWidget(sensText);
    snl->addWidget(Sensitivities, 0, Qt::AlignLeft);
    snl->addStretch(1);
    PageStack->addWidget(calc);
    PageStack->addWidget(tuneScroll);
    PageStack->addWidget(sens);
    auto* centre = new QVBoxLayout;
    centre->addWidget(Parameters);
    centre->addWidget(Pages);
    centre->addWidget(PageStack, 1);
    centre->addWidget(CircuitName);

    // The stage's status and its values.
    auto* status = new QGroupBox("Stage");
    auto* stl = new QVBoxLayout(status);
    Gbw = new QLabel;
    Gain = new QLabel;
    Mode = new QLabel;
    Standard = new QLabel;
    SpreadEffect = new QLabel;
    for (QLabel* l : {Gbw, Gain, Mode, Standard, SpreadEffect})
        stl->addWidget(l);
    Values = new QTableWidget(0, 4);
    Values->setHorizontalHeaderLabels({"", "Value", "Assigned", ""});
    Values->verticalHeader()->hide();
    Values->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Values->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Values->setMinimumWidth(250);
    stl->addWidget(Values, 1);
    Back = Button("Back", this, run([this] {
                      if (back) back();
                  }));
    Next = Button("Next", this, run([this] { m_.NextClick(); }));
    auto* moves = new QHBoxLayout;
    moves->addWidget(Back);
    moves->addWidget(Next);
    stl->addLayout(moves);

    auto* body = new QHBoxLayout;
    body->addLayout(left);
    body->addLayout(centre, 1);
    body->addWidget(status);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tabs);
    layout->addLayout(body, 1);
}

void CirCalWindow::Sync() {
    syncing_ = true;
    setWindowTitle(Q(m_.Caption));
    SetTabs(Tabs, m_.Tabs, m_.TabIndex);
    if (Steps->count() != static_cast<int>(m_.Steps.size())) {
        Steps->clear();
        for (const TfmCirCal::Step& s : m_.Steps)
            Steps->addItem(Q(s.Caption));
    }
    Steps->setCurrentRow(m_.StepIndex);
    // Every step in view without scrolling.
    if (Steps->count() > 0)
        Steps->setMinimumHeight(Steps->sizeHintForRow(0) * Steps->count() + 2 * Steps->frameWidth() + 4);
    Instruction->setText(Q(m_.StepInstruction));
    Variations->setVisible(m_.VariationsShown);
    C2Variable->setVisible(m_.C2VariableVisible);
    C2Variable->setChecked(m_.C2VariableChecked);
    C1EqC2->setVisible(m_.C1EqC2Visible);
    C1EqC2->setChecked(m_.C1EqC2Checked);
    Adjust->setVisible(m_.AdjustShown);
    for (int g = 0; g < 3; ++g) {
        QRadioButton* r = AdjustChoices[static_cast<std::size_t>(g)];
        r->setText(Q(m_.AdjustChoices[static_cast<std::size_t>(g)]));
        r->setVisible(m_.AdjustChoiceVisible[static_cast<std::size_t>(g)]);
        r->setChecked(m_.AdjustGroupIndex == g);
    }
    StandardR->setVisible(m_.StandardRShown);
    StandardCheck->setText(Q(m_.StandardRCaption));
    StandardCheck->setChecked(m_.StandardRChecked);
    StandardCheck->setEnabled(m_.StandardREnabled);
    StandardCheck->setToolTip(Q(m_.StandardRReason));
    Strategies[static_cast<std::size_t>(m_.StrategyIndex)]->setChecked(true);
    QFont f = Next->font();
    f.setBold(m_.NextHighlighted);
    Next->setFont(f);

    Parameters->setText(Q(m_.StageParameters));
    CircuitName->setText(Q(m_.CircuitKey + "   " + m_.CircuitName));
    Pages->setCurrentIndex(m_.PageIndex);
    PageStack->setCurrentIndex(m_.PageIndex);
    QString unable;
    for (const std::string& l : m_.UnableLines)
        unable += Q(l) + "\n";
    Unable->setText(unable.trimmed());
    Unable->setVisible(!m_.UnableLines.empty());
    Schematic->setVisible(m_.UnableLines.empty());
    SizeFor(Schematic, m_.CircuitKey, m_.Compensated);

    Gbw->setText(Q(m_.StatusGbw));
    Gain->setText(Q(m_.StatusGain));
    Mode->setText(Q(m_.StatusMode));
    Mode->setVisible(!m_.StatusMode.empty());
    Standard->setText(Q(m_.StatusStandard));
    Standard->setVisible(!m_.StatusStandard.empty());
    QString spread;
    for (const std::string& l : m_.GainSpreadEffect)
        spread += Q(l) + "\n";
    SpreadEffect->setText(spread.trimmed());
    Values->setRowCount(static_cast<int>(m_.Components.size()));
    for (int r = 0; r < static_cast<int>(m_.Components.size()); ++r) {
        const TfmCirCal::ComponentRow& c = m_.Components[static_cast<std::size_t>(r)];
        int col = 0;
        for (const std::string* cell : {&c.Name, &c.Text, &c.AssignedText, &c.Mark})
            Values->setItem(r, col++, new QTableWidgetItem(Q(*cell)));
    }
    Schematic->update();
    if (m_.PageIndex == TfmCirCal::TunePage) {
        // The page is as tall as its text: measured by drawing it once off the screen.
        const int w = std::max(420, Tuning->width());
        QImage probe(w, 2400, QImage::Format_RGB32);
        QPainter p(&probe);
        QtSurface surface(p, w, 2400);
        Tuning->setMinimumHeight(static_cast<int>(std::max(400.0, m_.PaintTuning(surface) + 20)));
    }
    Tuning->update();
    syncing_ = false;
}

CapAdjWindow::CapAdjWindow(TfmCirCal& model, Changed changed, QWidget* parent) : QDialog(parent), m_(model) {
    setObjectName("CapAdjWindow");
    setModal(true);
    Current = new QLabel;
    Min = new QLabel;
    Max = new QLabel;
    Constraint = new QLabel;
    Constraint->setWordWrap(true);
    Entry = new QLineEdit;
    connect(Entry, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_.CapAdj.Entry = t.toStdString(); });
    Stnd = Button("Stnd", this, [this] {
        m_.CapAdj.StndClick();
        Sync();
    });
    OK = Button("OK", this, [this, changed] {
        m_.CapAdj.Entry = Entry->text().toStdString();
        m_.CapAdjOKClick();
        changed();
    });
    auto* range = new QGroupBox(" Allowable Range ");
    auto* rg = new QGridLayout(range);
    rg->addWidget(new QLabel("Min:"), 0, 0);
    rg->addWidget(Min, 0, 1);
    rg->addWidget(new QLabel("Max:"), 1, 0);
    rg->addWidget(Max, 1, 1);
    auto* value = new QGroupBox(" New Value ");
    auto* vg = new QHBoxLayout(value);
    vg->addWidget(new QLabel("Enter:"));
    vg->addWidget(Entry, 1);
    vg->addWidget(Stnd);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Current);
    layout->addWidget(range);
    layout->addWidget(value);
    layout->addWidget(Constraint);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(OK);
    layout->addLayout(foot);
}

void CapAdjWindow::Sync() {
    const TfmCapAdj& c = m_.CapAdj;
    setWindowTitle(Q(c.Caption));
    Current->setText(Q("Present value: " + c.CurrentText + " " + c.Unit));
    Min->setText(Q(c.MinText + " " + c.Unit));
    Max->setText(Q(c.MaxText + " " + c.Unit));
    Constraint->setText(Q(c.ConstraintText));
    Constraint->setVisible(!c.ConstraintText.empty());
    if (Entry->text().toStdString() != c.Entry) Entry->setText(Q(c.Entry));
}

ResAdjWindow::ResAdjWindow(TfmCirCal& model, Changed changed, QWidget* parent) : QDialog(parent), m_(model) {
    setObjectName("ResAdjWindow");
    setModal(true);
    Title = new QLabel;
    Entry = new QLineEdit;
    connect(Entry, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_.ResAdj.Entry = t.toStdString(); });
    SpinUp = Button("\xE2\x96\xB2", this, [this] {
        m_.ResAdj.SpinUp();
        Sync();
    });
    SpinDown = Button("\xE2\x96\xBC", this, [this] {
        m_.ResAdj.SpinDown();
        Sync();
    });
    SpinUp->setToolTip("Next higher standard value");
    SpinDown->setToolTip("Next lower standard value");
    OK = Button("OK", this, [this, changed] {
        m_.ResAdj.Entry = Entry->text().toStdString();
        m_.ResAdjOKClick();
        changed();
    });
    Cancel = Button("Cancel", this, [this, changed] {
        m_.ResAdj.CancelClick();
        changed();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Title);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Enter new value:"));
    row->addWidget(Entry, 1);
    row->addWidget(new QLabel(Q(m_.ResAdj.UnitLabel)));
    auto* spin = new QVBoxLayout;
    spin->setSpacing(0);
    spin->addWidget(SpinUp);
    spin->addWidget(SpinDown);
    row->addLayout(spin);
    layout->addLayout(row);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(OK);
    foot->addWidget(Cancel);
    layout->addLayout(foot);
}

void ResAdjWindow::Sync() {
    const TfmResAdj& r = m_.ResAdj;
    setWindowTitle(Q(r.Caption));
    Title->setText(Q(r.Title));
    if (Entry->text().toStdString() != r.Entry) Entry->setText(Q(r.Entry));
    SpinUp->setEnabled(r.SpinEnabled);
    SpinDown->setEnabled(r.SpinEnabled);
    SpinUp->setToolTip(r.SpinEnabled ? "Next higher standard value" : Q(r.SpinReason));
}

// ---- Compensation ----------------------------------------------------------------------

CompensateWindow::CompensateWindow(TfmCompensate& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("CompensateWindow");
    closed = [this, changed] {
        if (m_.Visible) m_.CancelClick();
        changed();
    };
    Tabs = new QTabBar;
    connect(Tabs, &QTabBar::currentChanged, this, [this](int i) {
        if (syncing_) return;
        m_.TabChange(i);
        Sync();
    });
    auto* box = new QGroupBox;
    auto* bl = new QVBoxLayout(box);
    for (int i = 0; i < 3; ++i) {
        auto*& r = Choices[static_cast<std::size_t>(i)];
        r = new QRadioButton(Q(m_.Choices[static_cast<std::size_t>(i)]));
        connect(r, &QRadioButton::clicked, this, [this, i] {
            m_.ChoiceClick(i);
            Sync();
        });
        bl->addWidget(r);
    }
    OK = Button("OK", this, [this, changed] {
        m_.OKClick();
        changed();
    });
    Cancel = Button("Cancel", this, [this, changed] {
        m_.CancelClick();
        changed();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tabs);
    layout->addWidget(box);
    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    foot->addWidget(OK);
    foot->addWidget(Cancel);
    layout->addLayout(foot);
}

void CompensateWindow::Sync() {
    syncing_ = true;
    setWindowTitle(Q(m_.Caption));
    SetTabs(Tabs, m_.Tabs, m_.TabIndex);
    for (int i = 0; i < 3; ++i) {
        Choices[static_cast<std::size_t>(i)]->setEnabled(m_.ChoiceEnabled[static_cast<std::size_t>(i)]);
        Choices[static_cast<std::size_t>(i)]->setChecked(m_.ItemIndex == i);
    }
    syncing_ = false;
}

// ---- The windows together -------------------------------------------------------------

StageWindows::StageWindows(TfmMain& main, std::function<void(QWidget*)> acted, QWidget* parent) {
    // Each window tells which window took the input, so that one is drawn again even
    // when the input changed only the window's own state.
    const auto from = [this, acted](auto window) { return [this, acted, window] { acted(this->*window); }; };
    Pairs = new PairsWindow(main.Pairs, from(&StageWindows::Pairs), parent);
    Cascade = new CascadeWindow(main.Cascade, from(&StageWindows::Cascade), parent);
    ACrit = new ACritWindow(main.ACrit, from(&StageWindows::ACrit), parent);
    Gain = new GainWindow(main.Gain, from(&StageWindows::Gain), parent);
    GainAd = new GainAdWindow(main.GainAd, from(&StageWindows::GainAd), parent);
    Characteristics =
        new CharacteristicsWindow(main.Characteristics, from(&StageWindows::Characteristics), parent);
    CirSel = new CirSelWindow(main.CirSel, from(&StageWindows::CirSel), parent);
    CirCal = new CirCalWindow(main.CirCal, from(&StageWindows::CirCal), parent);
    CapAdj = new CapAdjWindow(main.CirCal, from(&StageWindows::CapAdj), CirCal);
    ResAdj = new ResAdjWindow(main.CirCal, from(&StageWindows::ResAdj), CirCal);
    Compensate = new CompensateWindow(main.Compensate, from(&StageWindows::Compensate), parent);
    CompSens = new CompSensWindow(main.CirCal.CompSens, from(&StageWindows::CompSens), parent);
    // Each QDialog and StepWindow is its own top-level window.
    for (QWidget* w :
         {static_cast<QWidget*>(Pairs), static_cast<QWidget*>(Cascade), static_cast<QWidget*>(ACrit),
          static_cast<QWidget*>(Gain), static_cast<QWidget*>(GainAd), static_cast<QWidget*>(Characteristics),
          static_cast<QWidget*>(CirSel), static_cast<QWidget*>(CirCal), static_cast<QWidget*>(Compensate),
          static_cast<QWidget*>(CompSens)})
        w->setWindowFlag(Qt::Window);
    CapAdj->setWindowFlag(Qt::Dialog);
    ResAdj->setWindowFlag(Qt::Dialog);

    // Every hand-over between the steps is the main model's: these windows forward clicks.
    Pairs->next = [&main] { main.PairsNextClick(); };
    Cascade->next = [&main] { main.CascadeNextClick(); };
    Cascade->back = [&main] { main.CascadeBackClick(); };
    CirCal->back = [&main] { main.CirCalBackClick(); };
    ACrit->accepted = [&main] { main.CriteriaAccepted(); };
    Characteristics->ok = [&main] { main.CharacteristicsOkClick(); };
}

} // namespace velmora::gui
