#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "windows.h"

namespace velmora::gui {

GraphWindow::GraphWindow(TfmGraph& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model), changed_(std::move(changed)) {
    setObjectName("GraphWindow");
    closed = [this] {
        m_.Visible = false;
        changed_();
    };
    Tabs = new QTabBar;
    for (const std::string& t : m_.Tabs)
        Tabs->addTab(QString::fromStdString(t));
    connect(Tabs, &QTabBar::currentChanged, this, [this](int index) {
        m_.TabControl1Change(index);
        changed_();
    });
    Picture = new PictureWidget;
    Picture->setMinimumSize(480, 360);
    BindZoomablePicture(Picture, m_, changed_);

    auto* display = new QGroupBox(QString::fromStdString(m_.DisplayCaption));
    auto* dl = new QVBoxLayout(display);
    for (int i = 0; i < 2; ++i) {
        Display[i] = new QRadioButton(QString::fromStdString(m_.DisplayItems[i]));
        dl->addWidget(Display[i]);
        connect(Display[i], &QRadioButton::clicked, this, [this, i] {
            m_.RadioGroup1Click(i);
            changed_();
        });
    }
    auto* select = new QGroupBox(QString::fromStdString(m_.SelectCaption));
    auto* sl = new QGridLayout(select);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < kApproxCount; ++i) {
        Approx[i] = new QRadioButton;
        Orders[i] = new QLabel;
        group->addButton(Approx[i], i);
        sl->addWidget(Approx[i], i, 0);
        sl->addWidget(Orders[i], i, 1);
        sl->setColumnStretch(0, 1);
        connect(Approx[i], &QRadioButton::clicked, this, [this, i] {
            m_.RadioGroup2Click(i);
            changed_();
        });
    }
    auto* configure = new QGroupBox("Configure Graphs");
    auto* cl = new QHBoxLayout(configure);
    Zoom = new QPushButton("Zoom");
    Unzoom = new QPushButton("Unzoom");
    Configure = new QPushButton("Configure");
    for (QPushButton* b : {Zoom, Unzoom, Configure})
        cl->addWidget(b);
    Zoom->setToolTip("Drag a rectangle on the gain graph to zoom into it");
    Unzoom->setToolTip("Back to the axes before the last zoom");
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

    PointCalc = new QGroupBox("Point calculator");
    auto* pl = new QGridLayout(PointCalc);
    PointCaption = new QLabel;
    PointEntry = new QLineEdit;
    PointEntry->setMaxLength(TfmPtCalc::kEntryMaxLength);
    auto* calc = new QPushButton("Calc");
    PointLines = new QListWidget;
    pl->addWidget(PointCaption, 0, 0);
    pl->addWidget(PointEntry, 0, 1);
    pl->addWidget(calc, 0, 2);
    pl->addWidget(PointLines, 1, 0, 1, 3);
    connect(PointEntry, &QLineEdit::textEdited, this, [this](const QString& t) {
        m_.PtCalc.EntryChange(t.toStdString());
        changed_();
    });
    connect(calc, &QPushButton::clicked, this, [this] {
        m_.PtCalc.CalcBtnClick();
        changed_();
    });
    PoleZero = new QGroupBox("Poles and zeros");
    auto* zl = new QVBoxLayout(PoleZero);
    PoleZeroLines = new QListWidget;
    zl->addWidget(PoleZeroLines);

    Next = new QPushButton("Next");
    Next->setObjectName("BitBtn1");
    connect(Next, &QPushButton::clicked, this, [this] {
        m_.BitBtn1Click();
        changed_();
    });

    PointLines->setMinimumHeight(80);
    PoleZeroLines->setMinimumHeight(200);
    auto* sidePanel = new QWidget;
    sidePanel->setFixedWidth(330);
    auto* side = new QVBoxLayout(sidePanel);
    side->setContentsMargins(0, 0, 0, 0);
    side->addWidget(display);
    side->addWidget(select);
    side->addWidget(configure);
    side->addWidget(PointCalc);
    side->addWidget(PoleZero);
    ClickHint =
        new QLabel("Click on the frequency or time graphs to read their values at that point, and on "
                   "the pole-zero graph to list the poles and zeros of the chosen approximation. "
                   "Zoom, then drag a rectangle from upper left to lower right over the gain graph to "
                   "enlarge it; the right button leaves the zoom mode.");
    ClickHint->setWordWrap(true);
    ClickHint->setMargin(6);
    side->addWidget(ClickHint);
    side->addStretch(1);
    side->addWidget(Next);
    auto* left = new QVBoxLayout;
    left->addWidget(Tabs);
    left->addWidget(Picture, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(sidePanel);
    resize(1120, 800);
}

void GraphWindow::Sync() {
    setWindowTitle(QString::fromStdString(m_.Caption));
    {
        QSignalBlocker block(Tabs);
        Tabs->setCurrentIndex(m_.TabIndex);
    }
    Display[m_.DisplayIndex]->setChecked(true);
    for (int i = 0; i < kApproxCount; ++i) {
        const TfmGraph::ApproxButton& b = m_.ApproxButtons[i];
        Approx[i]->setText(QString::fromStdString(b.Caption).trimmed());
        Approx[i]->setEnabled(b.Enabled);
        Approx[i]->setVisible(b.Visible);
        Orders[i]->setText(QString::fromStdString(b.OrderText));
        Orders[i]->setVisible(b.Visible);
    }
    Approx[m_.ApproxIndex]->setChecked(true);
    Zoom->setEnabled(m_.ZoomBtnEnabled && !m_.ZoomMode);
    Unzoom->setEnabled(m_.UnzoomBtnEnabled);
    Next->setEnabled(m_.BitBtn1Enabled);
    PointCalc->setVisible(m_.PtCalc.Visible);
    PointCaption->setText(QString::fromStdString(m_.PtCalc.EntryCaption));
    if (PointEntry->text().toStdString() != m_.PtCalc.EntryText)
        PointEntry->setText(QString::fromStdString(m_.PtCalc.EntryText));
    PointLines->clear();
    for (const std::string& l : m_.PtCalc.Lines)
        PointLines->addItem(QString::fromStdString(l));
    PoleZero->setVisible(m_.PoleZeroListVisible);
    ClickHint->setVisible(!m_.PtCalc.Visible && !m_.PoleZeroListVisible);
    PoleZeroLines->clear();
    // A pole pair's frequency and Q go on a line of their own, to fit the list.
    for (const std::string& l : m_.PoleZeroList)
        PoleZeroLines->addItem(QString::fromStdString(l).replace("   ", "\n        "));
    Picture->update();
}

} // namespace velmora::gui
