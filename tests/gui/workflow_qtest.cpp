// A person's way through the desktop program, window by window: the default lowpass
// compared on every tab and one approximation carried on; every refused entry of the
// specification and the user-defined window answered with its own message while the
// design stays byte for byte as it was; and a file that cannot be read changing nothing.
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <fstream>

#include "app/parameters.h"
#include "main_window.h"
#include "model/design_file.h"
#include "stage_windows.h"
#include "support/gui_session.h"
#include "support/recording_dialogs.h"
#include "ui/graph_painter.h"
#include "windows.h"

using namespace velmora::gui;
using namespace velmora::test;

namespace {

// The design as its file would hold it: two designs that encode alike are alike for
// every later step.
std::vector<uint8_t> Stored(const velmora::TDesign& d) {
    std::vector<uint8_t> image;
    velmora::EncodeDesign(d, image);
    return image;
}

// Whether the picture holds a pixel of exactly this colour (each approximation has its
// own pen colour, so a curve drawn shows up as its colour).
bool Shows(const QImage& image, velmora::Color c) {
    const QRgb want = qRgb(c.R, c.G, c.B);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) == (want & 0xffffff)) return true;
    return false;
}

} // namespace

class WorkflowTest : public QObject, FreshWindow {
    Q_OBJECT

    QTemporaryDir dir_;

  private slots:
    void initTestCase() { QVERIFY(UseScratchHome(dir_)); }
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { w.reset(); }

    // The default lowpass (0.5 dB to 1 kHz, 30 dB from 2 kHz): every usable
    // approximation drawn on every tab in "View all", only the chosen one in "View
    // single", and the chosen Chebyshev carried into the stages. Its order from the
    // closed form: acosh(sqrt((10^3 - 1) / (10^0.05 - 1))) / acosh(2) = 3.95, so 4,
    // two pole pairs.
    void defaultLowpassComparedAndOneCarriedOn() {
        Specify(*w);
        GraphWindow* g = w->Graph();
        QVERIFY(QTest::qWaitForWindowExposed(g));
        velmora::TfmGraph& m = w->Model().Graph;
        const std::vector<int> usable = m.ShownApproximations();
        QVERIFY(usable.size() >= 4); // Bessel cannot reach 30 dB within the order limit
        for (int tab = 0; tab < g->Tabs->count(); ++tab) {
            g->Tabs->setCurrentIndex(tab);
            const QImage all = g->Picture->Render(640, 480);
            for (int a : usable)
                QVERIFY2(Shows(all, velmora::ApproximationColor(a)),
                         qPrintable(QString("tab %1, approximation %2").arg(tab).arg(a)));
        }

        QTest::mouseClick(g->Approx[1], Qt::LeftButton, {}, QPoint(8, g->Approx[1]->height() / 2));
        QTest::mouseClick(g->Display[1], Qt::LeftButton, {}, QPoint(8, g->Display[1]->height() / 2));
        QCOMPARE(m.ShownApproximations(), std::vector<int>{1});
        g->Tabs->setCurrentIndex(0);
        const QImage single = g->Picture->Render(640, 480);
        QVERIFY(Shows(single, velmora::ApproximationColor(1)));
        QVERIFY(!Shows(single, velmora::ApproximationColor(0)));
        QCOMPARE(g->Orders[1]->text(), QString("N = 4"));

        QTest::mouseClick(g->Next, Qt::LeftButton);
        QVERIFY(w->Stages()->CirSel->isVisible());
        QCOMPARE(w->Stages()->CirSel->Tabs->count(), 2);
        QVERIFY(dlg->messages().empty());
        w->Design().Modified = 0;
    }

    // Each refused entry: typed as a person types it, answered by exactly its message,
    // and the design afterwards the same as before the button was pressed.
    void refusedEntriesLeaveTheDesignAsItWas() {
        w->Command("Lowpass")->trigger();
        SpecWindow* s = w->Spec();
        QTest::mouseClick(s->Calculate, Qt::LeftButton);
        const struct {
            const char* field;
            const char* text;
            std::string message;
        } spec[] = {
            {"NumEdit1", "0", "warning: Invalid Number."},
            {"NumEdit2", "0.3", "warning: Stopband attenuation must exceed passband attenuation."},
            {"NumEdit4", "0.5", "warning: Stopband frequency must exceed passband frequency."},
            {"NumEdit6", "2000", "error: Maximum allowable overall gain is 60dB (1000V/V)."},
            {"NumEdit6", "0.05", "error: Minimum allowable overall gain is 0.1V/V."},
        };
        for (const auto& c : spec) {
            const QString good = s->Fields[c.field]->text();
            Retype(s->Fields[c.field], c.text);
            const std::vector<uint8_t> before = Stored(w->Design());
            dlg->clear();
            QTest::mouseClick(s->Calculate, Qt::LeftButton);
            QCOMPARE(Joined(dlg->messages()), QString::fromStdString(c.message + "\n"));
            QVERIFY2(Stored(w->Design()) == before, c.text);
            QVERIFY(!s->Next->isEnabled());
            Retype(s->Fields[c.field], good);
        }

        w->Command("User defined")->trigger();
        UserWindow* u = w->User();
        u->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(u));
        QCOMPARE(u->Fields["Edit1"]->toolTip(),
                 QString::fromStdString(velmora::app::HelpText(velmora::app::ParameterNamed("section-q"))));
        dlg->clear();
        Retype(u->Fields["Edit1"], "0.7-07"); // the minus beeps and is dropped
        QCOMPARE(dlg->log, std::vector<std::string>{"beep"});
        QCOMPARE(u->Fields["Edit1"]->text(), QString("0.707"));
        Retype(u->Fields["Edit2"], "1000");
        Retype(u->Fields["EditTo"], "100");
        QTest::mouseClick(u->Add, Qt::LeftButton);
        QCOMPARE(u->List->count(), 1);
        const struct {
            const char *q, *wp, *to;
            std::string message;
            const char* focus;
        } user[] = {
            {"0.5", "1000", "1.0", "warning: Q must be >0.5.", "Edit1"},
            {"301", "1000", "1.0", "warning: Q must not exceed 300.", "Edit1"},
            {"2", "0", "1.0", "warning: Value must be non-zero.", "Edit2"},
            {"2", "1000", "2000", "warning: Section gain must lie between 0.1V/V and 1000V/V (60dB).",
             "EditTo"},
            {"2", "1000", "50",
             "warning: Unable to add section as the overall filter gain would leave "
             "0.1V/V to 1000V/V (60dB).",
             nullptr},
        };
        for (const auto& c : user) {
            Retype(u->Fields["Edit1"], c.q);
            Retype(u->Fields["Edit2"], c.wp);
            Retype(u->Fields["EditTo"], c.to);
            const std::vector<uint8_t> before = Stored(w->Design());
            dlg->clear();
            QTest::mouseClick(u->Add, Qt::LeftButton);
            QCOMPARE(Joined(dlg->messages()), QString::fromStdString(c.message + "\n"));
            QVERIFY2(Stored(w->Design()) == before, c.q);
            QCOMPARE(u->List->count(), 1);
            if (c.focus) QVERIFY2(u->Fields[c.focus]->hasFocus(), c.focus);
        }
        // Out of the table's range is marked while typed; the pole form's first field is
        // the pole, with its own help.
        Retype(u->Fields["Edit1"], "301");
        QVERIFY(u->Fields["Edit1"]->property("outOfRange").toBool());
        QTest::mouseClick(u->Mode[1], Qt::LeftButton, {}, QPoint(8, u->Mode[1]->height() / 2));
        QCOMPARE(u->Fields["Edit1"]->toolTip(),
                 QString::fromStdString(velmora::app::HelpText(velmora::app::ParameterNamed("section-p"))));
        w->Design().Modified = 0;
    }

    // A file that is missing or no design: its message, and the design, the caption,
    // the recent files and the windows as they were.
    void unreadableFilesChangeNothing() {
        Specify(*w, "Highpass");
        const std::string saved = (dir_.path() + "/high.fl3").toStdString();
        dlg->files.push_back(saved);
        w->Command("Save Design As...")->trigger();
        const QString caption = w->windowTitle();
        const std::vector<std::string> recent = w->Model().RecentFiles;
        const std::vector<uint8_t> before = Stored(w->Design());

        const std::string missing = (dir_.path() + "/missing.fl3").toStdString();
        const std::string damaged = (dir_.path() + "/damaged.fl3").toStdString();
        std::ofstream(damaged) << "not a design";
        const struct {
            std::string path;
            std::string message;
        } files[] = {
            {missing, "error: " + missing + ": " + std::strerror(ENOENT)},
            {damaged, "error: Invalid Velmora design file"},
        };
        for (const auto& f : files) {
            dlg->clear();
            dlg->files.push_back(f.path);
            w->Command("Open Design...")->trigger();
            QCOMPARE(Joined(dlg->messages()), QString::fromStdString("file open: \n" + f.message + "\n"));
            QCOMPARE(w->windowTitle(), caption);
            QCOMPARE(w->Model().RecentFiles, recent);
            QVERIFY(Stored(w->Design()) == before);
            QVERIFY(w->Graph()->isVisible());
        }
    }
};

QTEST_MAIN(WorkflowTest)
#include "workflow_qtest.moc"
