// The Monte Carlo envelope of the final-response window as a person runs it: the button
// starts it in the background, the progress bar and Cancel show while it runs and the
// window answers meanwhile; a second run ends with the yield; closing the window or the
// program while one runs stops it.
#include <QApplication>
#include <QTest>

#include "main_window.h"
#include "support/gui_session.h"
#include "support/recording_dialogs.h"
#include "windows.h"

using velmora::test::RecordingDialogs;
using namespace velmora::gui;

class EnvelopeTest : public QObject {
    Q_OBJECT

  private slots:
    void runCancelAndYield() {
        RecordingDialogs dlg;
        auto w = std::make_unique<MainWindow>(&dlg);
        QVERIFY(velmora::test::Started(*w));
        velmora::test::ToFinalResponses(*w);
        ViewWindow* v = w->View();
        QVERIFY(QTest::qWaitForWindowExposed(v));
        QCOMPARE(v->McRuns->value(), 10000);

        // A long run: progress and Cancel, and the window still takes input.
        v->McRuns->setValue(5000000);
        QTest::mouseClick(v->MonteCarlo, Qt::LeftButton);
        QVERIFY(v->McProgress->isVisible() && v->McCancel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(v->McProgress->value() > 0, 30000);
        v->Tabs->setCurrentIndex(1);
        QCOMPARE(w->Model().View.TabIndex, 1);
        v->Tabs->setCurrentIndex(0);
        QTest::mouseClick(v->McCancel, Qt::LeftButton);
        QVERIFY(!v->McProgress->isVisible());
        QVERIFY(v->McStatus->text().startsWith("Monte Carlo cancelled after"));

        // A short run to its end: the yield.
        v->McRuns->setValue(300);
        QTest::mouseClick(v->MonteCarlo, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!v->McProgress->isVisible(), 60000);
        QVERIFY2(v->McStatus->text().contains(
                     QRegularExpression("^Yield: \\d+\\.\\d % of 300 runs meet the mask$")),
                 qPrintable(v->McStatus->text()));

        // Closing the window stops a run; so does closing the program.
        v->McRuns->setValue(5000000);
        QTest::mouseClick(v->MonteCarlo, Qt::LeftButton);
        QVERIFY(w->Model().View.MonteCarloRunning());
        v->close();
        QVERIFY(!w->Model().View.MonteCarloRunning());
        w->Model().FinalResponsesClick();
        w->InputHandled(nullptr);
        QTest::mouseClick(v->MonteCarlo, Qt::LeftButton);
        QVERIFY(w->Model().View.MonteCarloRunning());
        w.reset();
    }
};

QTEST_MAIN(EnvelopeTest)
#include "envelope_qtest.moc"
