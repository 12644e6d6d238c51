// File > Print prints the design report: the PDF the print path writes holds the report's
// pages, "Page i of n" on each, and the design as far as it has gone: the specification,
// the comparison and the six ideal responses. (The printer's font sets "fi" as a
// ligature, so the texts looked for avoid it.)
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "main_window.h"
#include "support/gui_session.h"
#include "support/recording_dialogs.h"
#include "windows.h"

using namespace velmora::gui;

class PrintTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

  private slots:
    void printsTheReport() {
        velmora::test::RecordingDialogs dlg;
        MainWindow w(&dlg);
        QVERIFY(velmora::test::Started(w));
        velmora::test::Specify(w);
        w.PrintToFile = dir_.path() + "/print.pdf";
        w.PrintReportToFile = dir_.path() + "/preview.pdf";
        w.Command("Print")->trigger();
        w.Command("Print Preview...")->trigger(); // the preview prints the same pages
        QVERIFY(dlg.log.empty());
        QFile pdf(w.PrintToFile), preview(w.PrintReportToFile);
        QVERIFY(pdf.open(QIODevice::ReadOnly) && preview.open(QIODevice::ReadOnly));
        const int pages = int(pdf.readAll().count("/Type /Page\n"));
        QVERIFY(pages >= 3);
        QCOMPARE(int(preview.readAll().count("/Type /Page\n")), pages);
        QStringList texts{"Overall gain",   "Comparison of the approximations",
                          "Max. pole Qp",   "Magnitude response",
                          "Phase response", "Group delay",
                          "Step response",  "Impulse response",
                          "Poles and zeros"};
        QProcess text;
        text.start("pdftotext", {"-layout", w.PrintToFile, "-"});
        if (!text.waitForFinished(30000) || text.exitCode() != 0) QSKIP("pdftotext is not available");
        const QString all = QString::fromUtf8(text.readAllStandardOutput());
        for (int p = 1; p <= pages; ++p)
            texts << QString("Page %1 of %2").arg(p).arg(pages);
        for (const QString& t : texts)
            QVERIFY2(all.contains(t), qPrintable(t));
    }
};

QTEST_MAIN(PrintTest)
#include "print_qtest.moc"
