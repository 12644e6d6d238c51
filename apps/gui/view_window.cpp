// The final-response window: the gain, phase and delay of the calculated circuit for the
// variants and stages chosen, zoom by dragging, the point calculator a click fills, and
// the table of the realised variants checked against the specification.
#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/parameters.h"
#include "windows.h"

namespace velmora::gui {

ViewWindow::ViewWindow(TfmView& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model), changed_(std::move(changed)) {
    setObjectName("ViewWindow");
    closed = [this] {
        m_.MonteCarloCancel(); // its worker ends before the window goes
        McTimer->stop();
        m_.Visible = false;
        changed_();
    };
    Tabs = new QTabBar;
    for (const std::string& t : m_.Tabs)
        Tabs->addTab(QString::fromStdString(t));
    connect(Tabs, &QTabBar::currentChanged, this, [this](int index) {
        m_.TabChange(index);
        changed_();
    });
    Picture = new PictureWidget;
    Picture->setMinimumSize(520, 380);
    BindZoomablePicture(Picture, m_, changed_);
    Note = new QLabel;
    Note->setWordWrap(true);

    // "Show Response:"
    auto* variants = new QGroupBox("Show Response:");
    auto* vl = new QVBoxLayout(variants);
    for (int v = 0; v < kFinalVariantCount; ++v) {
        Variants[v] = new QCheckBox;
        vl->addWidget(Variants[v]);
        connect(Variants[v], &QCheckBox::clicked, this, [this, v] {
            m_.VariantClick(v);
            changed_();
        });
    }
    // "Show Stages"
    auto* stages = new QGroupBox("Show Stages");
    auto* sl = new QGridLayout(stages);
    AllStages = new QRadioButton(" All");
    RangeStages = new QRadioButton(" From stage");
    FromStage = new QSpinBox;
    ToStage = new QSpinBox;
    sl->addWidget(AllStages, 0, 0, 1, 2);
    sl->addWidget(RangeStages, 1, 0);
    sl->addWidget(FromStage, 1, 1);
    sl->addWidget(new QLabel("To Stage"), 2, 0);
    sl->addWidget(ToStage, 2, 1);
    auto stagesChanged = [this] {
        m_.StagesChange(AllStages->isChecked(), FromStage->value(), ToStage->value());
        changed_();
    };
    connect(AllStages, &QRadioButton::clicked, this, stagesChanged);
    connect(RangeStages, &QRadioButton::clicked, this, stagesChanged);
    connect(FromStage, &QSpinBox::valueChanged, this, [this, stagesChanged] {
        if (RangeStages->isChecked()) stagesChanged();
    });
    connect(ToStage, &QSpinBox::valueChanged, this, [this, stagesChanged] {
        if (RangeStages->isChecked()) stagesChanged();
    });

    auto* configure = new QGroupBox("Configure Graphs");
    auto* cl = new QHBoxLayout(configure);
    Zoom = new QPushButton("Zoom");
    Unzoom = new QPushButton("Unzoom");
    Configure = new QPushButton("Configure");
    Simulate = new QPushButton("Simulate in ngspice");
    Simulate->setToolTip("Simulate the circuits in ngspice and draw the result over the curves");
    for (QPushButton* b : {Zoom, Unzoom, Configure, Simulate})
        cl->addWidget(b);
    Zoom->setToolTip("Drag a rectangle on the gain graph to zoom into it");
    connect(Zoom, &QPushButton::clicked, this, [this] {
        m_.ZoomBtnClick();
        changed_();
    });
    connect(Unzoom, &QPushButton::clicked, this, [this] {
        m_.UnzoomBtnClick();
        changed_();
    });
    connect(Configure, &QPushButton::clicked, this, [this] {
        m_.ConfigureClick();
        changed_();
    });

    // "Monte Carlo": run in the background; the window stays in use while it runs.
    auto* monteCarlo = new QGroupBox("Monte Carlo");
    auto* ml = new QGridLayout(monteCarlo);
    const app::Parameter& runs = app::ParameterNamed("monte-carlo");
    McRuns = new QSpinBox;
    McRuns->setRange(static_cast<int>(runs.low), static_cast<int>(runs.high));
    McRuns->setGroupSeparatorShown(true);
    McRuns->setValue(m_.Envelope.Runs);
    McRuns->setToolTip(QString::fromUtf8(runs.help.data(), static_cast<qsizetype>(runs.help.size())));
    McDistribution = new QComboBox;
    McDistribution->addItems({"Gaussian (3 sigma)", "Uniform"});
    McDistribution->setToolTip("How each component is drawn within its tolerance");
    MonteCarlo = new QPushButton("Monte Carlo");
    MonteCarlo->setToolTip("Draw the band of the gain over many copies of the filter, each with its "
                           "components drawn within their tolerances, and the share that meets the mask");
    McCancel = new QPushButton("Cancel");
    McProgress = new QProgressBar;
    McProgress->setTextVisible(true);
    McStatus = new QLabel;
    McStatus->setObjectName("McStatus");
    McStatus->setWordWrap(true);
    ml->addWidget(new QLabel("Runs"), 0, 0);
    ml->addWidget(McRuns, 0, 1);
    ml->addWidget(McDistribution, 1, 0, 1, 2);
    ml->addWidget(MonteCarlo, 2, 0);
    ml->addWidget(McCancel, 2, 1);
    ml->addWidget(McProgress, 3, 0, 1, 2);
    ml->addWidget(McStatus, 4, 0, 1, 2);
    McTimer = new QTimer(this);
    McTimer->setInterval(20); // the bar moves smoothly; a poll costs two atomic reads
    connect(MonteCarlo, &QPushButton::clicked, this, [this] {
        m_.Envelope.Runs = McRuns->value();
        m_.Envelope.Distribution = McDistribution->currentIndex() == 1 ? ToleranceDistribution::Uniform
                                                                       : ToleranceDistribution::Gaussian;
        m_.MonteCarloClick();
        if (m_.MonteCarloRunning()) McTimer->start();
        changed_();
    });
    connect(McCancel, &QPushButton::clicked, this, [this] {
        m_.MonteCarloCancel();
        McTimer->stop();
        changed_();
    });
    connect(McTimer, &QTimer::timeout, this, [this] {
        if (!m_.MonteCarloPoll()) {
            if (!m_.MonteCarloRunning()) McTimer->stop(); // dropped by a change of the design
            return;
        }
        if (m_.MonteCarloRunning()) {
            SyncMonteCarlo(); // progress only: the curves are as they were
            return;
        }
        McTimer->stop();
        changed_(); // the envelope and the yield: the picture too
    });

    PointCalc = new QGroupBox("Point calculator");
    auto* pl = new QGridLayout(PointCalc);
    PointCaption = new QLabel;
    PointEntry = new QLineEdit;
    PointEntry->setMaxLength(TfmFPtCalc::kEntryMaxLength);
    auto* calc = new QPushButton("Calc");
    PointLines = new QListWidget;
    PointLines->setMinimumHeight(70);
    pl->addWidget(PointCaption, 0, 0);
    pl->addWidget(PointEntry, 0, 1);
    pl->addWidget(calc, 0, 2);
    pl->addWidget(PointLines, 1, 0, 1, 3);
    connect(PointEntry, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_.PtCalc.EntryChange(t.toStdString()); });
    connect(calc, &QPushButton::clicked, this, [this] {
        m_.PtCalc.CalcBtnClick();
        changed_();
    });

    CheckTable = new QTableWidget(0, 4);
    CheckTable->setObjectName("CheckTable");
    CheckTable->setHorizontalHeaderLabels(
        {"Response", "Specification", "Passband margin", "Stopband margin"});
    CheckTable->verticalHeader()->hide();
    CheckTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CheckTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    CheckTable->horizontalHeader()->setStretchLastSection(true);

    auto* side = new QVBoxLayout;
    side->addWidget(variants);
    side->addWidget(stages);
    side->addWidget(configure);
    side->addWidget(monteCarlo);
    side->addWidget(PointCalc);
    side->addStretch(1);
    auto* left = new QVBoxLayout;
    left->addWidget(Tabs);
    left->addWidget(Picture, 1);
    left->addWidget(Note);
    left->addWidget(CheckTable);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(side);
    resize(1080, 760);
}

void ViewWindow::Sync() {
    setWindowTitle(QString::fromStdString(m_.Caption));
    {
        QSignalBlocker block(Tabs);
        Tabs->setCurrentIndex(m_.TabIndex);
    }
    for (int v = 0; v < kFinalVariantCount; ++v) {
        Variants[v]->setText(QString::fromStdString(m_.VariantNames[static_cast<std::size_t>(v)]).trimmed());
        Variants[v]->setEnabled(m_.VariantEnabled[static_cast<std::size_t>(v)]);
        Variants[v]->setChecked(m_.VariantChecked[static_cast<std::size_t>(v)]);
    }
    {
        QSignalBlocker b1(FromStage), b2(ToStage);
        const int n = m_.Last() >= 1 ? std::max(m_.Last(), m_.ToStage) : 1;
        FromStage->setRange(1, std::max(n, 1));
        ToStage->setRange(1, std::max(n, 1));
        FromStage->setValue(m_.FromStage);
        ToStage->setValue(m_.ToStage);
    }
    (m_.AllStages ? AllStages : RangeStages)->setChecked(true);
    Zoom->setEnabled(m_.ZoomBtnEnabled && !m_.ZoomMode && m_.TabIndex == TfmView::GainTab);
    Unzoom->setEnabled(m_.UnzoomBtnEnabled);
    PointCalc->setVisible(m_.PtCalc.Visible);
    PointCaption->setText(QString::fromStdString(m_.PtCalc.EntryCaption));
    if (PointEntry->text().toStdString() != m_.PtCalc.EntryText)
        PointEntry->setText(QString::fromStdString(m_.PtCalc.EntryText));
    PointLines->clear();
    for (const std::string& l : m_.PtCalc.Lines)
        PointLines->addItem(QString::fromStdString(l).trimmed());
    QString note;
    for (const std::string& l : m_.Note)
        note += (note.isEmpty() ? "" : " ") + QString::fromStdString(l);
    Note->setText(note);
    Note->setVisible(!note.isEmpty());
    CheckTable->setRowCount(static_cast<int>(m_.Check.size()));
    for (int r = 0; r < static_cast<int>(m_.Check.size()); ++r) {
        const TfmView::CheckRow& row = m_.Check[static_cast<std::size_t>(r)];
        const std::array<std::string, 4> cells = {row.Variant, row.Verdict, row.PassMargin, row.StopMargin};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(cells[static_cast<std::size_t>(c)]));
            if (c == 1) item->setForeground(row.Meets ? QColor(0, 120, 0) : QColor(190, 0, 0));
            CheckTable->setItem(r, c, item);
        }
    }
    CheckTable->setVisible(!m_.Check.empty());
    // As high as its rows, the picture takes the rest.
    int height = CheckTable->horizontalHeader()->height() + 2 * CheckTable->frameWidth();
    for (int r = 0; r < CheckTable->rowCount(); ++r)
        height += CheckTable->rowHeight(r);
    CheckTable->setFixedHeight(height);
    SyncMonteCarlo();
    Picture->update();
}

void ViewWindow::SyncMonteCarlo() {
    const bool running = m_.MonteCarloRunning();
    MonteCarlo->setEnabled(!running);
    McCancel->setVisible(running);
    McProgress->setVisible(running);
    if (running) {
        McProgress->setRange(0, std::max(m_.EnvelopeRuns, 1));
        McProgress->setValue(m_.EnvelopeRunsDone);
    }
    McStatus->setText(QString::fromStdString(m_.EnvelopeText));
    McStatus->setVisible(!m_.EnvelopeText.empty());
}

} // namespace velmora::gui
