// The default design taken through the circuit windows as a person would: a circuit
// selected on every stage tab, a capacitor and a resistor set by clicking them in the
// schematic (with the refusals of bad entries), standard resistor values and
// predistortion switched on, the tuning page and the sensitivities read, and on to the
// final responses. The step models talk through a recording Dialogs, so every message
// is checked.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "circuits/circuit_design.h"
#include "circuits/schematic_layouts.h"
#include "main_window.h"
#include "stage_windows.h"
#include "support/gui_session.h"
#include "support/recording_dialogs.h"
#include "support/recording_surface.h"
#include "ui/schematic_painter.h"
#include "windows.h"

using namespace velmora::gui;
using namespace velmora::test;

namespace {

// Where the schematic's hit test finds the component: the centre of the points that name it.
std::optional<QPoint> PointOf(const velmora::TfmCirCal& m, const std::string& name) {
    const velmora::SchematicLayout* l = velmora::FindLayout(m.CircuitKey, m.Compensated);
    if (!l) return std::nullopt;
    const velmora::PointD size = velmora::SchematicSize(*l);
    long sx = 0, sy = 0, n = 0;
    for (int y = 0; y < size.Y; y += 2)
        for (int x = 0; x < size.X; x += 2)
            if (velmora::ComponentAt(*l, {double(x), double(y)}) == name) sx += x, sy += y, ++n;
    if (n == 0) return std::nullopt;
    return QPoint(int(sx / n), int(sy / n));
}

// The texts a picture draws, joined.
QString Drawn(PictureWidget* p) {
    RecordingSurface s;
    p->paint(s);
    QString all;
    for (const auto& t : s.texts)
        all += QString::fromStdString(t.text) + "|";
    return all;
}

int StepRow(const velmora::TfmCirCal& m, const std::string& name) {
    for (std::size_t i = 0; i < m.Steps.size(); ++i)
        if (m.Steps[i].Name == name) return int(i);
    return -1;
}

} // namespace

class StagesTest : public QObject, FreshWindow {
    Q_OBJECT

    QTemporaryDir dir_;

  private slots:
    void initTestCase() { QVERIFY(UseScratchHome(dir_)); }
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { w.reset(); }

    // Interactive pairing and cascading: the pairing refuses to go on while entries are
    // free, the cascade moves a stage up, the criteria dialog opens and cancels.
    void interactivePairingAndCascading() {
        velmora::TfmMain& m = w->Model();
        StageWindows& st = *w->Stages();
        w->Command("Pole-zero pairing")->menu()->actions().at(1)->trigger(); // User-interactive
        w->Command("Stage cascading")->menu()->actions().at(1)->trigger();
        Specify(*w);
        QTest::mouseClick(w->Graph()->Next, Qt::LeftButton);
        PairsWindow* p = st.Pairs;
        QVERIFY(p->isVisible());
        QCOMPARE(p->windowTitle(), QString("Pair zeros and poles to create 1st and 2nd order stages"));
        const int poles = p->Poles->count();
        QVERIFY(poles >= 2);
        p->Poles->item(0)->setSelected(true);
        QTest::mouseClick(p->Add, Qt::LeftButton);
        QCOMPARE(p->Pairs->count(), 1);
        QCOMPARE(p->Poles->count(), poles - 1);
        dlg->clear();
        QTest::mouseClick(p->Next, Qt::LeftButton);
        QVERIFY(p->isVisible());
        QCOMPARE(QString::fromStdString(dlg->messages().at(0)),
                 QString("error: Pole-zero pairing not complete!"));
        QTest::mouseClick(p->AutoAddAll, Qt::LeftButton);
        QCOMPARE(p->Poles->count(), 0);
        QTest::mouseClick(p->Next, Qt::LeftButton);
        QVERIFY(!p->isVisible());

        CascadeWindow* c = st.Cascade;
        QVERIFY(c->isVisible());
        QCOMPARE(c->Table->rowCount(), w->Design().StageCount);
        QVERIFY(!c->Up->isEnabled() && !c->Down->isEnabled());
        const QString second = c->Table->item(1, 1)->text();
        QTest::mouseClick(c->Table->viewport(), Qt::LeftButton, {},
                          c->Table->visualItemRect(c->Table->item(1, 0)).center());
        QVERIFY(c->Up->isEnabled());
        QTest::mouseClick(c->Up, Qt::LeftButton);
        QCOMPARE(c->Table->item(0, 1)->text(), second);
        QVERIFY(!c->Up->isEnabled() && c->Down->isEnabled());
        QTest::mouseClick(c->Criteria, Qt::LeftButton);
        QVERIFY(st.ACrit->isVisible());
        QCOMPARE(st.ACrit->windowTitle(), QString("Criteria; Automatic mode"));
        QTest::mouseClick(st.ACrit->Cancel, Qt::LeftButton);
        QVERIFY(!st.ACrit->isVisible());
        QTest::mouseClick(c->Next, Qt::LeftButton);
        QVERIFY(!c->isVisible() && st.CirSel->isVisible());
        QCOMPARE(w->Design().DesignLevel, velmora::LevelCascaded);
        QCOMPARE(m.CirSel.Tabs.size(), std::size_t(w->Design().StageCount));
        w->Design().Modified = 0;
    }

    void defaultDesignToTheFinalResponse() {
        velmora::TfmMain& m = w->Model();
        StageWindows& st = *w->Stages();
        ToCircuitSelection(*w);

        // The selection: one tab per stage, a circuit selected on each.
        CirSelWindow* sel = st.CirSel;
        QVERIFY(sel->isVisible());
        QCOMPARE(sel->windowTitle(), QString("Select circuit schematic for each stage"));
        const int stages = w->Design().StageCount;
        QCOMPARE(sel->Tabs->count(), stages);
        QCOMPARE(sel->Tabs->tabText(0), QString("Stage 1 of %1").arg(stages));
        QVERIFY(!sel->Next->isEnabled());
        for (int tab = 0; tab < stages; ++tab) {
            sel->Tabs->setCurrentIndex(tab);
            QVERIFY(sel->Select->isEnabled());
            QTest::mouseClick(sel->Select, Qt::LeftButton);
            QCOMPARE(sel->Selected->text(), QString::fromStdString("Selected: " + m.CirSel.CircuitKey));
        }
        QVERIFY(sel->Next->isEnabled());
        // A click on a candidate's gain-spread box excludes it; another includes it.
        const QPoint second(int(sel->Bars->width() * 1.5 / m.CirSel.Offered()), sel->Bars->height() / 2);
        QTest::mouseClick(sel->Bars, Qt::LeftButton, {}, second);
        QCOMPARE(QString::fromStdString(m.CirSel.SpreadBars[1].Label), QString("Excluded"));
        QTest::mouseClick(sel->Bars, Qt::LeftButton, {}, second);
        QCOMPARE(QString::fromStdString(m.CirSel.SpreadBars[1].Label), QString());
        QVERIFY2(dlg->log.empty(), qPrintable(Joined(dlg->log)));
        QTest::mouseClick(sel->Next, Qt::LeftButton);

        // The component calculation, stage 1.
        CirCalWindow* cal = st.CirCal;
        velmora::TfmCirCal& c = m.CirCal;
        QVERIFY(cal->isVisible());
        QCOMPARE(cal->windowTitle(), QString("Calculate component values"));
        QCOMPARE(cal->Pages->tabText(0), QString("Calc"));
        QCOMPARE(cal->Pages->tabText(2), QString("Sens"));
        dlg->clear();

        // Exact C Values: a click on C1 opens its form; bad entries are refused.
        cal->Steps->setCurrentRow(StepRow(c, "Exact C Values"));
        QCOMPARE(
            cal->Instruction->text(),
            QString("Position cursor over capacitor (cursor design will change) and click . Value can be "
                    "adjusted within +/- 12% range."));
        const auto c1 = PointOf(c, "C1");
        QVERIFY(c1);
        QTest::mouseMove(cal->Schematic, *c1);
        QCOMPARE(cal->Schematic->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(cal->Schematic, Qt::LeftButton, {}, *c1);
        QVERIFY2(st.CapAdj->isVisible(), qPrintable(Joined(dlg->log)));
        QCOMPARE(st.CapAdj->windowTitle(), QString("Adjust C1"));
        st.CapAdj->Entry->clear();
        QTest::mouseClick(st.CapAdj->OK, Qt::LeftButton);
        st.CapAdj->Entry->setText("1000");
        QTest::mouseClick(st.CapAdj->OK, Qt::LeftButton);
        QVERIFY(st.CapAdj->isVisible());
        // A value inside the allowed range, in the form's unit.
        const double scale = c.CapAdj.Unit == "pF" ? 1e-12 : c.CapAdj.Unit == "nF" ? 1e-9 : 1e-6;
        const double inside = double(c.CapAdj.Min + (c.CapAdj.Max - c.CapAdj.Min) / 3) / scale;
        st.CapAdj->Entry->setText(QString::number(inside, 'f', 4));
        QTest::mouseClick(st.CapAdj->OK, Qt::LeftButton);
        QVERIFY(!st.CapAdj->isVisible());
        QVERIFY(std::abs(double(velmora::C(w->Design().Circuits[1], 1)) / scale - inside) < 1e-3);
        QCOMPARE(QString::fromStdString(dlg->log.at(0)), QString("warning: Value not entered!"));
        QCOMPARE(QString::fromStdString(dlg->log.at(1)),
                 QString("warning: Value does not fall within required range!"));
        dlg->clear();

        // User-Assigned R: a click on R1 opens the resistor's form.
        cal->Steps->setCurrentRow(StepRow(c, "User-Assigned R"));
        const auto r1 = PointOf(c, "R1");
        QVERIFY(r1);
        QTest::mouseClick(cal->Schematic, Qt::LeftButton, {}, *r1);
        QVERIFY(st.ResAdj->isVisible());
        QCOMPARE(st.ResAdj->Title->text(), QString("Adjust R1"));
        st.ResAdj->Entry->setText("0.005");
        QTest::mouseClick(st.ResAdj->OK, Qt::LeftButton);
        QCOMPARE(QString::fromStdString(dlg->log.at(0)),
                 QString("warning: Resistance value is unacceptably low"));
        st.ResAdj->Entry->setText("4.75K");
        QTest::mouseClick(st.ResAdj->OK, Qt::LeftButton);
        QVERIFY(!st.ResAdj->isVisible());
        QCOMPARE(cal->Values->item(0, 0)->text(), QString("R1"));
        QCOMPARE(cal->Values->item(0, 2)->text(), QString("4.75K"));
        QCOMPARE(cal->Values->item(0, 3)->text(), QString("Stnd 1%")); // 475 is an E96 value
        dlg->clear();

        // Standard R Values on: every resistor of every stage a 1 % series value.
        cal->Steps->setCurrentRow(StepRow(c, "Standard R Values"));
        QVERIFY(cal->StandardCheck->isVisible());
        QCOMPARE(cal->StandardCheck->text(), QString(" Standard 1%"));
        QVERIFY2(cal->StandardCheck->isEnabled(), qPrintable(cal->StandardCheck->toolTip()));
        cal->StandardCheck->click();
        QVERIFY2(cal->Standard->text() == "Stnd 1% resistors", qPrintable(Joined(dlg->log)));
        for (const auto& l : dlg->log)
            QVERIFY2(l.rfind("information: ", 0) == 0, l.c_str()); // notes only, no refusal
        dlg->clear();

        // Compensation: predistortion for stage 1.
        cal->Steps->setCurrentRow(StepRow(c, "Compensation"));
        QVERIFY(st.Compensate->isVisible());
        QCOMPARE(st.Compensate->windowTitle(), QString("Op amp Frequency Compensation"));
        QVERIFY(st.Compensate->Choices[0]->isEnabled());
        QTest::mouseClick(st.Compensate->Choices[0], Qt::LeftButton);
        QTest::mouseClick(st.Compensate->OK, Qt::LeftButton);
        QVERIFY(!st.Compensate->isVisible());
        QCOMPARE(cal->Mode->text(), QString("Predistort"));
        QVERIFY(w->Design().Circuits[1].Predistort);

        // The tuning page and the sensitivities of stage 1.
        cal->Pages->setCurrentIndex(velmora::TfmCirCal::TunePage);
        QCOMPARE(cal->PageStack->currentIndex(), int(velmora::TfmCirCal::TunePage));
        const QString tuning = Drawn(cal->Tuning);
        for (const char* t : {"Tuning sequence", "Stage Parameters", "Adjusting the stage parameters:",
                              "By magnitude:", "By phase (preferred method):"})
            QVERIFY2(tuning.contains(t), t);
        cal->Pages->setCurrentIndex(velmora::TfmCirCal::SensPage);
        QTest::mouseClick(cal->Sensitivities, Qt::LeftButton);
        QVERIFY(st.CompSens->isVisible());
        QCOMPARE(st.CompSens->Tabs->count(), stages);
        const QString sens = Drawn(st.CompSens->Table);
        QVERIFY(sens.contains("Sensitivity of ->|") && sens.contains("R1|") && sens.contains("C1|"));
        QTest::mouseClick(st.CompSens->Close, Qt::LeftButton);
        QVERIFY(!st.CompSens->isVisible());

        // On to the final responses.
        QTest::mouseClick(cal->Next, Qt::LeftButton);
        QVERIFY(w->View()->isVisible());
        QCOMPARE(w->View()->windowTitle(), QString("Final frequency responses"));
        QCOMPARE(w->Design().DesignLevel, velmora::LevelFinalResponse);
        QVERIFY2(dlg->log.empty(), qPrintable(Joined(dlg->log)));
        w->Design().Modified = 0;
    }
};

QTEST_MAIN(StagesTest)
#include "stages_qtest.moc"
