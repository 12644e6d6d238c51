// File > Print prints the design report: the PDF the print path writes holds the report's
// pages, "Page i of n" on each, and the sections of the design as far as it has gone:
// the template, the comparison and the six ideal responses of a specified filter, the
// sections and their magnitude response of a user-defined one. (The printer's font sets
// "fi" as a ligature, so the texts looked for avoid it.)
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "main_window.h"
#include "support/recording_dialogs.h"
#include "windows.h"

using velmora::test::RecordingDialogs;
using namespace velmora::gui;

namespace {

// The specification calculated and the ideal responses shown.
void ShowDefaultLowpassGraphs(MainWindow& w) {
    w.Command("Lowpass")->trigger();
    QTest::mouseClick(w.Spec()->Calculate, Qt::LeftButton);
    QTest::mouseClick(w.Spec()->Next, Qt::LeftButton);
}

// Two second-order sections entered (a lowpass and a bandstop), then Next.
void ShowUserDefinedGraphs(MainWindow& w) {
    w.Command("User defined")->trigger();
    UserWindow* u = w.User();
    auto type = [](QLineEdit* e, const QString& t) {
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, t);
    };
    type(u->Fields["Edit1"], "0.707");
    type(u->Fields["Edit2"], "1");
    QTest::mouseClick(u->Add, Qt::LeftButton);
    QTest::mouseClick(u->Type[3], Qt::LeftButton);
    type(u->Fields["Edit1"], "2");
    type(u->Fields["Edit3"], "2");
    QTest::mouseClick(u->Add, Qt::LeftButton);
    QTest::mouseClick(u->Next, Qt::LeftButton);
}

} // namespace

class PrintTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

  private slots:
    void printsTheReport_data() {
        QTest::addColumn<bool>("user");
        QTest::addColumn<QStringList>("sections");
        QTest::newRow("lowpass") << false
                                 << QStringList{"Overall gain",       "Comparison of the approximations",
                                                "Approximation:",     "Max. pole Qp",
                                                "Magnitude response", "Phase response",
                                                "Group delay",        "Step response",
                                                "Impulse response",   "Poles and zeros"};
        QTest::newRow("user-defined")
            << true
            << QStringList{"sections", "Bandstop", "Magnitude response", "Phase response", "Poles and zeros"};
    }
    void printsTheReport() {
        QFETCH(bool, user);
        QFETCH(QStringList, sections);
        RecordingDialogs dlg;
        MainWindow w(&dlg);
        QVERIFY(w.Start());
        w.show();
        if (user)
            ShowUserDefinedGraphs(w);
        else
            ShowDefaultLowpassGraphs(w);
        QAction* print = w.Command("Print");
        QVERIFY(print && print->isEnabled());
        w.PrintToFile =
            (qEnvironmentVariableIsSet("VELMORA_KEEP_DIR") ? qEnvironmentVariable("VELMORA_KEEP_DIR")
                                                           : dir_.path()) +
            QString("/%1.pdf").arg(QTest::currentDataTag());
        print->trigger();
        QVERIFY(dlg.log.empty());

        QFile pdf(w.PrintToFile);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const int pages = int(pdf.readAll().count("/Type /Page\n"));
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        QProcess text;
        text.start("pdftotext", {"-layout", w.PrintToFile, "-"});
        if (!text.waitForFinished(30000) || text.exitCode() != 0) QSKIP("pdftotext is not available");
        const QString all = QString::fromUtf8(text.readAllStandardOutput());
        for (int p = 1; p <= pages; ++p)
            QVERIFY2(all.contains(QString("Page %1 of %2").arg(p).arg(pages)),
                     qPrintable(QString::number(p)));
        for (const QString& s : sections)
            QVERIFY2(all.contains(s), qPrintable(s));
        // The preview prints the same pages.
        w.PrintReportToFile = dir_.path() + "/preview.pdf";
        w.Command("Print Preview...")->trigger();
        QFile preview(w.PrintReportToFile);
        QVERIFY(preview.open(QIODevice::ReadOnly));
        QCOMPARE(int(preview.readAll().count("/Type /Page\n")), pages);
    }
};

QTEST_MAIN(PrintTest)
#include "print_qtest.moc"
