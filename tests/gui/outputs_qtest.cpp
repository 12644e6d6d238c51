// What a person takes away from a design in the desktop program, driven through its
// menus: the report exported as PDF (file dialog, overwrite question, write failure, each
// with its exact message) and printed, page numbers and all, through the print path.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "analysis/final_response.h"
#include "app/messages.h"
#include "ascii_dialog.h"
#include "inventory_window.h"
#include "main_window.h"
#include "model/inventory_file.h"
#include "ngspice_runner.h"
#include "spice_dialog.h"
#include "stage_windows.h"
#include "support/gui_session.h"
#include "support/recording_dialogs.h"
#include "windows.h"

using velmora::Answer;
using namespace velmora::gui;
using namespace velmora::test;

namespace {

const std::string kOverwrite = "ask warning: File already exists. OK to overwrite?";

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class OutputsTest : public QObject, FreshWindow {
    Q_OBJECT

    QTemporaryDir dir_;

  private slots:
    void initTestCase() { QVERIFY(UseScratchHome(dir_)); }
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { w.reset(); }

    void exportPdf() {
        QVERIFY(!w->Command("Export PDF...")->isEnabled()); // nothing calculated yet
        ToFinalResponses(*w);
        QVERIFY(w->Command("Export PDF...")->isEnabled());
        dlg->clear();

        const std::string path = (dir_.path() + "/lowpass.pdf").toStdString(),
                          missing = dir_.path().toStdString() + "/none/r.pdf",
                          noFolder = "error: " + missing + ": No such file or directory";
        const struct {
            const char* what;
            std::optional<std::string> file;
            std::vector<Answer> answers;
            std::vector<std::string> log;
            bool written;
        } steps[] = {
            {"cancelled dialog", std::nullopt, {}, {"file save: *.pdf"}, false},
            {"new file", path, {}, {"file save: *.pdf"}, true},
            {"overwrite refused", path, {Answer::Cancel}, {"file save: *.pdf", kOverwrite}, false},
            {"overwrite accepted", path, {Answer::Ok}, {"file save: *.pdf", kOverwrite}, true},
            {"folder missing", missing, {}, {"file save: *.pdf", noFolder}, false},
        };
        for (const auto& s : steps) {
            dlg->clear();
            dlg->files = {s.file};
            dlg->answers.assign(s.answers.begin(), s.answers.end());
            if (std::filesystem::exists(path)) std::filesystem::last_write_time(path, {});
            const auto before = std::filesystem::exists(path) ? std::filesystem::last_write_time(path)
                                                              : std::filesystem::file_time_type{};
            w->Command("Export PDF...")->trigger();
            QVERIFY2(dlg->log == s.log, s.what);
            QCOMPARE(dlg->busyDepth, 0);
            const bool changed =
                std::filesystem::exists(path) && std::filesystem::last_write_time(path) != before;
            QVERIFY2(changed == s.written, s.what);
        }
        QVERIFY(ReadAll(QString::fromStdString(path)).startsWith("%PDF-1.4"));
    }

    // The printed report: Qt's own PDF writer lays the pages out with its fonts; every
    // page carries "Page i of n", n the number of pages printed.
    void printReport() {
        ToFinalResponses(*w);
        w->PrintReportToFile = dir_.path() + "/printed.pdf";
        w->Command("Print Preview...")->trigger();
        if (qEnvironmentVariableIsSet("VELMORA_KEEP_DIR")) // to look at the printed pages
            QFile::copy(w->PrintReportToFile, qEnvironmentVariable("VELMORA_KEEP_DIR") + "/printed.pdf");
        const int pages = int(ReadAll(w->PrintReportToFile).count("/Type /Page\n"));
        QVERIFY(pages >= 6);
        QVERIFY(dlg->log.empty());
        QProcess text;
        text.start("pdftotext", {"-layout", w->PrintReportToFile, "-"});
        if (!text.waitForFinished(30000) || text.exitCode() != 0) QSKIP("pdftotext is not available");
        const QString all = QString::fromUtf8(text.readAllStandardOutput());
        for (int p = 1; p <= pages; ++p)
            QVERIFY2(all.contains(QString("Page %1 of %2").arg(p).arg(pages)),
                     qPrintable(QString::number(p)));
        // The check's heading in two pieces: the printer's font sets its "fi" as a ligature.
        for (const char* section :
             {"Comparison of the approximations", "Check against the", "s mask", "Tuning instructions"})
            QVERIFY2(all.contains(section), section);
    }

    // File > Save SPICE Netlist: the form over the final responses' sweep, a refused entry
    // that keeps it open, a cancelled file dialog and a netlist written; before any stage
    // exists the form refuses with its message and closes.
    void spiceNetlist() {
        Specify(*w); // the ideal responses: no stages yet
        // No circuit is calculated yet: the command waits for one.
        QVERIFY(!w->Command("Save SPICE Netlist")->isEnabled());

        QTest::mouseClick(w->Graph()->Next, Qt::LeftButton);
        w->Command("Show transfer function")->trigger();
        QTest::mouseClick(w->Transfer()->FinalResponses, Qt::LeftButton);
        QVERIFY(w->Command("Save SPICE Netlist")->isEnabled());
        w->Command("Save SPICE Netlist")->trigger();
        SpiceDialog* f = w->SpiceForm();
        QVERIFY(f && f->isVisible());
        QCOMPARE(f->windowTitle(), QString("Spice File Specifications"));
        const std::string path = (dir_.path() + "/lowpass.cir").toStdString(),
                          kPointsRefused =
                              "warning: The number of points per decade must be a whole number above 0.";
        const struct {
            const char* what;
            QString points;
            bool monteCarlo;
            std::vector<std::optional<std::string>> files;
            std::vector<std::string> log;
            bool open, written;
        } steps[] = {
            {"points refused", "0", false, {}, {"beep", kPointsRefused}, true, false},
            {"file dialog cancelled", "20", false, {std::nullopt}, {"file save: "}, false, false},
            {"written", "20", true, {path}, {"file save: "}, false, true},
        };
        for (const auto& s : steps) {
            dlg->clear();
            dlg->files.assign(s.files.begin(), s.files.end());
            if (!f->isVisible()) w->Command("Save SPICE Netlist")->trigger();
            QVERIFY2(!f->Start->text().isEmpty() && f->End->text() != f->Start->text(), s.what);
            f->Points->setText(s.points);
            if (f->MonteCarlo->isChecked() != s.monteCarlo) f->MonteCarlo->click();
            QCOMPARE(f->Runs->isEnabled(), s.monteCarlo);
            QTest::mouseClick(f->Ok, Qt::LeftButton);
            QVERIFY2(dlg->log == s.log, s.what);
            QCOMPARE(f->isVisible(), s.open);
            QCOMPARE(std::filesystem::exists(path), s.written);
        }
        const QByteArray netlist = ReadAll(QString::fromStdString(path));
        QVERIFY(netlist.startsWith("****  Velmora Spice File  ****"));
        QVERIFY(netlist.contains("20")); // the points per decade
        QVERIFY(netlist.toUpper().contains(".END"));
    }

    // File > Save data to Ascii File with its options window: the parts a person leaves
    // out stay out of the file; the overwrite question and Cancel in the window write nothing.
    void asciiDialog() {
        ToFinalResponses(*w);
        const std::string path = (dir_.path() + "/lowpass.dat").toStdString();
        const std::vector<std::string> asked = {"file save: " + path, kOverwrite};
        const struct {
            const char* what;
            std::vector<Answer> answers;
            std::array<bool, 4> parts; // what the person leaves checked
            bool ok;                   // OK, else Cancel, in the options window
            std::vector<std::string> log;
            int linesAtMost, linesAtLeast; // of the file afterwards
        } steps[] = {
            {"everything", {}, {true, true, true, true}, true, {"file save: *.dat"}, 10000, 350},
            {"overwrite refused", {Answer::Cancel}, {}, true, asked, 10000, 350},
            {"parameters only", {Answer::Ok}, {true, false, false, false}, true, asked, 60, 5},
            {"options cancelled", {Answer::Ok}, {true, true, true, true}, false, asked, 60, 5},
        };
        for (const auto& s : steps) {
            dlg->clear();
            dlg->files = {path};
            dlg->answers.assign(s.answers.begin(), s.answers.end());
            dlg->asciiOptions = [&s](velmora::TfmAscii& model) {
                AsciiDialog window(model);
                window.show();
                for (size_t i = 0; i < window.Parts.size(); ++i) {
                    if (!window.Parts[i]->isEnabled()) return false; // every part is there to choose
                    window.Parts[i]->setChecked(s.parts[i]);
                }
                QTest::mouseClick(s.ok ? window.Ok : window.Cancel, Qt::LeftButton);
                return window.result() == QDialog::Accepted;
            };
            w->Command("Save data to Ascii File")->trigger();
            QVERIFY2(dlg->messages() == s.log, s.what);
            const int lines = int(ReadAll(QString::fromStdString(path)).count('\n'));
            QVERIFY2(lines <= s.linesAtMost && lines >= s.linesAtLeast, qPrintable(QString::number(lines)));
        }
    }

    // Inventory > Resistor > Edit > 5 percent: quick select, a click, the count line, and
    // OK writing the file the program reads at start.
    void inventoryEditor() {
        w->Command("5 percent")->trigger();
        InventoryWindow* e = w->InventoryForm();
        QVERIFY(e && e->isVisible());
        QCOMPARE(e->windowTitle(), QString("5% Resistor Inventory Range "));
        const int shown = e->CountLine->text().section(' ', 2, 2).toInt();
        QVERIFY(shown > 24);
        QCOMPARE(e->CountLine->text(), QString("%1 of %1 selected.").arg(shown));
        e->QuickSelect->activated(3); // Unmark All
        QCOMPARE(e->CountLine->text(), QString("0 of %1 selected.").arg(shown));
        e->QuickSelect->activated(0); // the first column
        QCOMPARE(e->CountLine->text(), QString("24 of %1 selected.").arg(shown));
        const QRect cell = e->Grid->visualItemRect(e->Grid->item(3, 1));
        QTest::mouseClick(e->Grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(e->CountLine->text(), QString("25 of %1 selected.").arg(shown));
        QVERIFY(e->Grid->item(3, 1)->text().endsWith("*"));
        QTest::mouseClick(e->Ok, Qt::LeftButton);
        QVERIFY(!e->isVisible());
        QVERIFY(dlg->log.empty());

        const std::optional<std::string> path = velmora::InventoryFilePath();
        QVERIFY(path);
        const QByteArray bytes = ReadAll(QString::fromStdString(*path));
        velmora::InventoryProblem why;
        const auto read = velmora::DecodeInventory(std::vector<uint8_t>(bytes.begin(), bytes.end()), why);
        QVERIFY2(read, velmora::app::InventoryProblemText(why).c_str());
        QVERIFY(*read == w->Model().ProgramInventory);
        QVERIFY(!((*read)[velmora::InventoryKind::Resistors5] ==
                  velmora::FullInventory()[velmora::InventoryKind::Resistors5]));
    }

    // Copy to Clipboard: the picture of each open step window (the circuit selection's
    // schematic, then the final responses) is on the clipboard, pixel for pixel, among
    // the other open windows' pictures.
    void copyStepWindowPictures() {
        const auto copied = [this](const PictureWidget* p) {
            w->Command("Copy to Clipboard")->trigger();
            const QImage all = QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
            const QImage one = p->Render(p->width(), p->height()).convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y + one.height() <= all.height(); ++y)
                if (all.copy(0, y, one.width(), one.height()) == one) return true;
            return false;
        };
        ToCircuitSelection(*w);
        QVERIFY(QTest::qWaitForWindowExposed(w->Stages()->CirSel));
        QVERIFY(copied(w->Stages()->CirSel->Schematic));
        w->Command("Show transfer function")->trigger();
        QTest::mouseClick(w->Transfer()->FinalResponses, Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(w->View()));
        QVERIFY(copied(w->View()->Picture));
    }

    // Simulate in ngspice: the simulated gain agrees with the final response computed by
    // the program (ideal op amps) wherever the filter passes something; a program that
    // cannot be started is reported as such.
    void ngspiceOverlay() {
        ToFinalResponses(*w);
        QVERIFY(w->View()->Simulate->isVisible());

        w->Ngspice()->Program = "velmora-no-such-simulator";
        QTest::mouseClick(w->View()->Simulate, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->Ngspice()->Running(), 30000);
        QCOMPARE(dlg->messages(), std::vector<std::string>{"error: ngspice could not be started: it is not "
                                                           "installed, or not on the search path. Install "
                                                           "ngspice to simulate the filter."});
        QVERIFY(w->Model().View.Simulated.empty());

        if (QProcess::execute("sh", {"-c", "command -v ngspice >/dev/null"}) != 0)
            QSKIP("ngspice is not installed");
        dlg->clear();
        w->Ngspice()->Program = "ngspice";
        QTest::mouseClick(w->View()->Simulate, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->Ngspice()->Running(), 60000);
        QVERIFY2(dlg->log.empty(), dlg->log.empty() ? "" : dlg->log.front().c_str());
        const auto& sim = w->Model().View.Simulated;
        QVERIFY(sim.size() > 100);
        int compared = 0;
        for (const velmora::FinalFrequencySample& p : sim) {
            const auto ref = velmora::FinalResponseAt(w->Design(), velmora::StandardCExactR, 1,
                                                      w->Design().StageCount, p.W);
            QVERIFY(ref);
            // Above -60 dB the netlist's printed component values and the 1e5 op-amp gain
            // move the response by well under a hundredth of a decibel.
            const double refDb = 20 * std::log10(double(ref->GainVV));
            if (refDb < -60) continue;
            QVERIFY2(std::fabs(refDb - p.GainDb) < 0.01, qPrintable(QString::number(p.FHz)));
            ++compared;
        }
        QVERIFY(compared > 50);
        if (qEnvironmentVariableIsSet("VELMORA_KEEP_DIR")) // to look at the overlay
            w->View()->Picture->Render(800, 600).save(qEnvironmentVariable("VELMORA_KEEP_DIR") +
                                                      "/overlay.png");
    }
};

QTEST_MAIN(OutputsTest)
#include "outputs_qtest.moc"
