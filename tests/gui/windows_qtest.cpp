// The desktop program's windows, driven through their widgets as a person would: keys
// typed into the fields (refused ones too), buttons pressed, a zoom rectangle dragged,
// questions answered. The step models talk through a recording Dialogs, so every
// message text and its order are checked.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <filesystem>
#include <fstream>

#include "main_window.h"
#include "support/gui_session.h"
#include "support/recording_dialogs.h"
#include "windows.h"

using velmora::Answer;
using namespace velmora::gui;
using namespace velmora::test;

namespace {

QString Cell(QTableWidget* t, int row, int col) {
    return t->item(row, col) ? t->item(row, col)->text() : QString();
}

} // namespace

class WindowsTest : public QObject, FreshWindow {
    Q_OBJECT

    QTemporaryDir dir_;

  private slots:
    void initTestCase() { QVERIFY(UseScratchHome(dir_)); }
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { w.reset(); }

    // The empty main window: its caption, the menu entries and the tool bar's hints.
    void mainWindowAtStart() {
        QCOMPARE(w->windowTitle(), QString("[Untitled]"));
        for (const char* entry :
             {"Open Design...", "Save Design", "Save Design As...", "Close Design", "Copy to Clipboard",
              "Save data to Ascii File", "Exit", "Lowpass", "Highpass", "Bandpass", "Bandstop",
              "User defined", "Hz", "rad/s", "All capacitors standard values", "dB<-->V/V", "Resistor values",
              "Contents"})
            QVERIFY2(w->Command(entry), entry);
        QStringList hints;
        for (QAction* a : w->findChild<QToolBar*>("ToolBar")->actions())
            if (!a->isSeparator()) hints << a->toolTip();
        for (const char* hint :
             {"Open Design", "Save Design as..", "Copy to Clipboard", "Filter Data to ASCII File",
              "Lowpass Filter", "User-Defined Filter", "Toggle Hz..Rad/s"})
            QVERIFY2(hints.contains(hint), hint);
        // Nothing to compare yet: the graph commands wait for a calculation.
        QVERIFY(!w->Command("Copy to Clipboard")->isEnabled());
        // Help opens the manual.
        QString help;
        w->ShowHelp = [&help](const QString& path) { help = path; };
        w->Command("Contents")->trigger();
        QVERIFY2(help.endsWith("docs/manual.md"), qPrintable(help));
        QVERIFY(dlg->log.empty());
    }

    // The specification: refused keys beep and change nothing, Enter moves on, a zero is
    // refused with its message, the default lowpass calculates into the comparison grid.
    void specificationWindow() {
        w->Command("Lowpass")->trigger();
        SpecWindow* s = w->Spec();
        QVERIFY(s->isVisible());
        QCOMPARE(s->windowTitle(), QString("Enter frequency, attenuation and gain values."));
        QCOMPARE(s->Labels["NumEdit3"]->text(), QString("Passband Frequency (fpb):"));
        QVERIFY(!s->Fields["NumEdit5"]->isVisible()); // no centre frequency for a lowpass
        s->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s));

        EntryEdit* apb = s->Fields["NumEdit1"];
        Retype(apb, "-1e2,x");
        QCOMPARE(apb->text(), QString("12")); // only the digits were taken
        QCOMPARE(std::count(dlg->log.begin(), dlg->log.end(), "beep"), 4L);
        Retype(apb, "0.123456");
        QCOMPARE(apb->text(), QString("0.123")); // five characters at most
        QCOMPARE(w->Model().ParEnt.NumEdit1.Text, std::string("0.123"));
        QTest::keyClick(apb, Qt::Key_Return);
        QVERIFY(s->Fields["NumEdit2"]->hasFocus());

        dlg->clear();
        Retype(apb, "0");
        QTest::mouseClick(s->Calculate, Qt::LeftButton);
        QCOMPARE(dlg->log, (std::vector<std::string>{"beep", "warning: Invalid Number."}));
        QVERIFY(apb->hasFocus());
        QCOMPARE(s->Tabs->count(), 1); // no results

        dlg->clear();
        Retype(apb, "0.5");
        QTest::mouseClick(s->Calculate, Qt::LeftButton);
        QVERIFY(dlg->messages().empty());
        QCOMPARE(s->Tabs->count(), 2);
        QCOMPARE(s->Tabs->tabText(1), QString("Calculation results"));
        QCOMPARE(s->Tabs->currentIndex(), 1);
        // Butterworth 0.5 / 30 dB over an octave: ln(999/0.122)/(2 ln 2) = 6.5, so order 7.
        QCOMPARE(Cell(s->Results, 0, 0), QString("Approximation:"));
        QCOMPARE(Cell(s->Results, 1, 0), QString("Order"));
        QCOMPARE(Cell(s->Results, 1, 1), QString("7"));
        QCOMPARE(Cell(s->Results, 1, 5), QString(">20")); // Bessel cannot meet it
        QVERIFY(s->Next->isEnabled());
        // Editing disables Next until the next calculation.
        QTest::keyClicks(s->Fields["NumEdit2"], "1");
        QVERIFY(!s->Next->isEnabled());
        // Closing the form of a design that has not gone past the specification asks nothing.
        dlg->clear();
        QVERIFY(s->close());
        QVERIFY(dlg->log.empty());
        QVERIFY(!s->isVisible());

        // A 10 Hz wide bandpass at 10 kHz needs poles of Q near 1000: ">300" in red.
        w->Command("Bandpass")->trigger();
        QVERIFY(s->Fields["NumEdit5"]->isVisible());
        Retype(s->Fields["NumEdit3"], "10");
        Retype(s->Fields["NumEdit4"], "20");
        for (int box : {0, 1}) {
            s->Units[box]->setCurrentIndex(0);
            emit s->Units[box]->activated(0); // "Hz"
        }
        QCOMPARE(w->Model().ParEnt.CB1.Text(), std::string("Hz"));
        QTest::mouseClick(s->Calculate, Qt::LeftButton);
        QCOMPARE(Cell(s->Results, 8, 0), QString("Max. pole Qp"));
        QCOMPARE(Cell(s->Results, 8, 1), QString(">300"));
        QCOMPARE(s->Results->item(8, 1)->foreground().color(), QColor(Qt::red));
        QVERIFY(!s->Next->isEnabled()); // no approximation can be built
    }

    // The ideal responses: a wrong rectangle gives the hint, a dragged one zooms, unzoom
    // restores; switching to rad/s converts the specification entries.
    void idealResponsesZoomAndUnits() {
        Specify(*w);
        GraphWindow* g = w->Graph();
        QVERIFY(g->isVisible() && !w->Spec()->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(g));
        velmora::TfmGraph& m = w->Model().Graph;
        QCOMPARE(m.PictureWidth, double(g->Picture->width()));
        const velmora::PlotArea a = m.Area();
        const velmora::FrequencyAxis before = m.Axes.Freq;
        auto at = [&](double fx, double fy) {
            return QPoint(int(a.Left + fx * a.Width()), int(a.Top + fy * a.Height()));
        };

        // Lower right to upper left: the hint, nothing zoomed.
        QTest::mouseClick(g->Zoom, Qt::LeftButton);
        QTest::mousePress(g->Picture, Qt::LeftButton, {}, at(0.8, 0.8));
        QTest::mouseRelease(g->Picture, Qt::LeftButton, {}, at(0.2, 0.2));
        QCOMPARE(dlg->log,
                 (std::vector<std::string>{"information: Draw zoom rectangle from upper left to lower "
                                           "right, holding down left mouse button as you draw."}));
        QCOMPARE(m.Axes.Freq.Min, before.Min);
        QVERIFY(!g->Unzoom->isEnabled());

        // A real drag: the rubber band follows the mouse, the release zooms.
        QTest::mouseClick(g->Zoom, Qt::LeftButton);
        QTest::mousePress(g->Picture, Qt::LeftButton, {}, at(0.25, 0.1));
        QTest::mouseMove(g->Picture, at(0.5, 0.5));
        QCOMPARE(g->Picture->cursor().shape(), Qt::SizeFDiagCursor); // the zoom cursor
        QVERIFY(m.RubberBand.Visible);
        QCOMPARE(m.RubberBand.X2, double(at(0.5, 0.5).x()));
        QTest::mouseRelease(g->Picture, Qt::LeftButton, {}, at(0.5, 0.5));
        QVERIFY(!m.RubberBand.Visible);
        QVERIFY(m.Axes.Freq.Min > before.Min && m.Axes.Freq.Max < before.Max);
        QVERIFY(g->Unzoom->isEnabled());
        QTest::mouseClick(g->Unzoom, Qt::LeftButton);
        QCOMPARE(m.Axes.Freq.Min, before.Min);
        QCOMPARE(m.Axes.Freq.Max, before.Max);
        QVERIFY(!g->Unzoom->isEnabled());

        // "Configure" with the axis on V/V and no grid: Apply takes them.
        dlg->axes = [](const velmora::AxesRequest& r) {
            velmora::AxisConfiguration c = r.otherKind; // the attenuation axis switched to V/V
            c.GainMin = 0, c.GainMax = 1.2L, c.Grid = false;
            return std::optional(c);
        };
        QTest::mouseClick(g->Configure, Qt::LeftButton);
        QVERIFY(!m.Axes.GainInDb && !m.Axes.Grid);
        QCOMPARE(double(m.Axes.GainVV.Max), 1.2);

        // Every tab draws; the pole-zero tab lists the poles on a click.
        for (int tab = 0; tab < g->Tabs->count(); ++tab) {
            g->Tabs->setCurrentIndex(tab);
            QCOMPARE(m.TabIndex, tab);
            QVERIFY(!g->Picture->Render(400, 300).isNull());
        }
        QTest::mouseClick(g->Picture, Qt::LeftButton, {}, at(0.5, 0.5));
        QVERIFY(g->PoleZero->isVisible());
        QVERIFY(g->PoleZeroLines->item(0)->text().startsWith("Pole pair:  p = -"));

        // Copy to Clipboard: the graph as the window shows it.
        w->Command("Copy to Clipboard")->trigger();
        QCOMPARE(QApplication::clipboard()->image().size(), g->Picture->size());

        // rad/s: the frequency entries times 2 pi, the graph's axis along with them.
        w->Command("rad/s")->trigger();
        QCOMPARE(w->Model().ParEnt.NumEdit3.Text, std::string("6.2832"));
        QCOMPARE(w->Model().ParEnt.CB1.Text(), std::string("krad/s"));
        QVERIFY(std::fabs(double(m.Axes.Freq.Min / before.Min) - 2 * M_PI) < 1e-9);

        // Next goes on through the automatic steps to the circuit selection; the stages
        // show in the coefficient table.
        QTest::mouseClick(g->Next, Qt::LeftButton);
        QVERIFY(w->Model().CirSel.Visible);
        w->Command("Show transfer function")->trigger();
        QVERIFY(w->Transfer()->isVisible());
        QCOMPARE(w->Transfer()->Table->rowCount(), 4); // Butterworth 7: three pairs, one real pole
    }

    // From the stages table to the final responses: the circuits calculated, the curves
    // of the variants, a zoom dragged, a click read, and the check table.
    void finalResponses() {
        ToCircuitSelection(*w);
        w->Model().CirSel.Visible = false; // the circuits chosen automatically instead
        w->Command("Show transfer function")->trigger();
        QVERIFY(w->Transfer()->FinalResponses->isVisible());
        QTest::mouseClick(w->Transfer()->FinalResponses, Qt::LeftButton);
        ViewWindow* v = w->View();
        QVERIFY(v->isVisible() && !w->Transfer()->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(v));
        QCOMPARE(v->windowTitle(), QString("Final frequency responses"));
        velmora::TfmView& m = w->Model().View;
        QCOMPARE(w->Design().DesignLevel, velmora::LevelFinalResponse);

        // The check of each realised variant, as the table shows it.
        QCOMPARE(v->CheckTable->rowCount(), 2);
        QCOMPARE(Cell(v->CheckTable, 0, 0), QString("Exact values"));
        QCOMPARE(Cell(v->CheckTable, 0, 1), QString("meets"));
        QVERIFY(Cell(v->CheckTable, 0, 2).endsWith(" dB"));
        QCOMPARE(Cell(v->CheckTable, 1, 0), QString("Exact values, op amps"));
        QCOMPARE(Cell(v->CheckTable, 1, 1), QString::fromStdString(m.Check[1].Verdict));

        // The variants: the reference one checked, the op amps' one switched on.
        QCOMPARE(v->Variants[velmora::StandardCExactR]->text(), QString("Standard C, exact R"));
        QVERIFY(v->Variants[velmora::StandardCExactR]->isChecked());
        QVERIFY(!v->Variants[velmora::StandardRSubstitution]->isEnabled());
        v->Variants[velmora::OpAmpGbw]->click();
        QVERIFY(m.VariantChecked[velmora::OpAmpGbw]);
        QCOMPARE(m.Samples[velmora::OpAmpGbw].size(), std::size_t(velmora::kResponsePoints));

        // A zoom dragged on the gain graph, and undone.
        QCOMPARE(m.PictureWidth, double(v->Picture->width()));
        const velmora::PlotArea a = m.Area();
        auto at = [&](double fx, double fy) {
            return QPoint(int(a.Left + fx * a.Width()), int(a.Top + fy * a.Height()));
        };
        const velmora::FrequencyAxis before = m.Axes.Freq;
        QTest::mouseClick(v->Zoom, Qt::LeftButton);
        QTest::mousePress(v->Picture, Qt::LeftButton, {}, at(0.25, 0.1));
        QTest::mouseMove(v->Picture, at(0.6, 0.5));
        QCOMPARE(v->Picture->cursor().shape(), Qt::SizeFDiagCursor);
        QTest::mouseRelease(v->Picture, Qt::LeftButton, {}, at(0.6, 0.5));
        QVERIFY(m.Axes.Freq.Min > before.Min && m.Axes.Freq.Max < before.Max);
        QVERIFY(v->Unzoom->isEnabled());
        QTest::mouseClick(v->Unzoom, Qt::LeftButton);
        QCOMPARE(m.Axes.Freq.Min, before.Min);

        // A click reads both curves at its frequency.
        QVERIFY(!v->PointCalc->isVisible());
        QTest::mouseClick(v->Picture, Qt::LeftButton, {}, at(0.5, 0.5));
        QVERIFY(v->PointCalc->isVisible());
        QCOMPARE(v->PointLines->count(), 2);
        QVERIFY(v->PointLines->item(0)->text().startsWith("Standard C, exact R: "));
        QVERIFY(v->PointLines->item(1)->text().endsWith("  dB"));

        // The stage range and the tabs.
        v->RangeStages->click();
        QVERIFY(!m.AllStages);
        for (int tab = 0; tab < v->Tabs->count(); ++tab) {
            v->Tabs->setCurrentIndex(tab);
            QCOMPARE(m.TabIndex, tab);
            QVERIFY(!v->Picture->Render(400, 300).isNull());
        }
        QVERIFY(m.YCaption.starts_with("Delay (X1e"));
        w->Design().Modified = 0;
    }

    // Save, the save question on Close with its three answers, and the recent file (an
    // unreadable file is the workflow test's).
    void saveCloseAndReopen() {
        Specify(*w, "Bandpass");
        const std::string file = (dir_.path() + "/band.fl3").toStdString();
        dlg->files.push_back(file);
        w->Command("Save Design As...")->trigger();
        QVERIFY(std::filesystem::exists(file));
        QCOMPARE(w->windowTitle(), QString::fromStdString("Velmora: " + file));

        // Choosing Chebyshev changes the design: Close asks, Cancel keeps it, No drops it.
        QVERIFY(w->Graph()->isVisible());
        // On the button's circle: the rest of its row is not part of the button.
        QTest::mouseClick(w->Graph()->Approx[1], Qt::LeftButton, {},
                          QPoint(8, w->Graph()->Approx[1]->height() / 2));
        QCOMPARE(int(w->Model().Design().Modified), 1);
        dlg->clear();
        dlg->answers = {Answer::Cancel, Answer::No};
        w->Command("Close Design")->trigger();
        QVERIFY(w->Graph()->isVisible());
        QCOMPARE(w->Model().Design().SelectedApprox, uint8_t(1));
        w->Command("Close Design")->trigger();
        QCOMPARE(dlg->log, (std::vector<std::string>{"ask yes/no/cancel: Do you wish to save the changes?",
                                                     "ask yes/no/cancel: Do you wish to save the changes?"}));
        QVERIFY(!w->Graph()->isVisible());
        QCOMPARE(w->windowTitle(), QString("[Untitled]"));

        // The recent file reopens the design as it was saved (Butterworth, not Chebyshev).
        QAction* recent = w->Command(QString::fromStdString("1 " + file));
        QVERIFY(recent);
        recent->trigger();
        QCOMPARE(w->windowTitle(), QString::fromStdString("Velmora: " + file));
        QCOMPARE(w->Model().Design().Spec.FilterType, uint8_t(velmora::Bandpass));
        QCOMPARE(w->Model().Design().SelectedApprox, uint8_t(0));
        QCOMPARE(w->Model().ParEnt.NumEdit5.Text, std::string("2"));
    }

    // A user-defined filter typed section by section; the graph follows the sections.
    void userDefinedFilter() {
        w->Command("User defined")->trigger();
        UserWindow* u = w->User();
        QVERIFY(u->isVisible());
        QCOMPARE(u->windowTitle(), QString("Create one or more 1st or 2nd order stage(s)"));
        QVERIFY(!u->Next->isEnabled());
        Retype(u->Fields["Edit1"], "0.707");
        Retype(u->Fields["Edit2"], "1k");
        QCOMPARE(u->Fields["Edit2"]->text(), QString("1")); // "k" refused
        QTest::mouseClick(u->Add, Qt::LeftButton);
        QCOMPARE(u->List->count(), 1);
        QCOMPARE(u->OrderCaption->text(), QString(" Filter order = 2"));
        QCOMPARE(w->Model().User.Response.size(), size_t(351));
        QTest::mouseClick(u->Type[3], Qt::LeftButton);
        QVERIFY(u->Fields["Edit3"]->isVisible()); // the bandstop's zero
        Retype(u->Fields["Edit1"], "2");
        Retype(u->Fields["Edit2"], "1");
        Retype(u->Fields["Edit3"], "2");
        QTest::mouseClick(u->Add, Qt::LeftButton);
        QCOMPARE(u->List->count(), 2);
        QVERIFY(u->Up->isEnabled() && !u->Down->isEnabled());
        QTest::mouseClick(u->Next, Qt::LeftButton);
        QVERIFY(w->Graph()->isVisible() && !u->isVisible());
        QCOMPARE(w->Graph()->Approx[0]->text(), QString("User defined"));
    }

    // Closing asks about an unsaved design and writes the settings when it may close.
    void exitWritesTheSettings() {
        Specify(*w);
        w->Command("rad/s")->trigger();
        const std::string settings = w->Model().SettingsPath;
        std::filesystem::remove(settings);
        dlg->answers = {Answer::Cancel};
        QVERIFY(!w->close());
        QVERIFY(!std::filesystem::exists(settings));
        dlg->answers = {Answer::No};
        QVERIFY(w->close());
        std::ifstream in(settings);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        QVERIFY(text.find("Frequency units=rad/s") != std::string::npos);
        QCOMPARE(dlg->log, (std::vector<std::string>{"ask yes/no/cancel: Do you wish to save this design?",
                                                     "ask yes/no/cancel: Do you wish to save this design?"}));
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_qtest.moc"
