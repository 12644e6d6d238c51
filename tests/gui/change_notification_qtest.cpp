// The windows redraw on the application layer's change notification: a change made
// elsewhere (a menu, or the model driven directly) reaches every open window that shows
// the changed part, and only those; entry fields take their tool tips and ranges from
// the parameter table.
#include <QAction>
#include <QTemporaryDir>
#include <QTest>

#include "app/parameters.h"
#include "main_window.h"
#include "support/gui_session.h"
#include "support/recording_dialogs.h"
#include "windows.h"

using namespace velmora::gui;
using namespace velmora::test;

class ChangeNotificationTest : public QObject, FreshWindow {
    Q_OBJECT

    QTemporaryDir dir_;

  private slots:
    void initTestCase() { QVERIFY(UseScratchHome(dir_)); }
    void init() { QVERIFY(StartWindow()); }
    void cleanup() { w.reset(); }

    void unitSwitchRedrawsTheWindowsThatShowAFrequency() {
        w->Command("Hz")->trigger();
        Specify(*w);
        QVERIFY(w->Graph()->isVisible());
        w->Command("dB<-->V/V")->trigger();
        QVERIFY(w->DbConvert()->isVisible());
        QCOMPARE(w->Graph()->PointCaption->text(), QString("Frequency (Hz):"));
        const int graphDraws = w->Draws(w->Graph()), toolDraws = w->Draws(w->DbConvert());

        // From the menu: the ideal responses follow at once; the converter, which shows
        // no part of the design, is left alone.
        w->Command("rad/s")->trigger();
        QCOMPARE(w->Graph()->PointCaption->text(), QString("Frequency (rad/s):"));
        QCOMPARE(w->Draws(w->Graph()), graphDraws + 1);
        QCOMPARE(w->Draws(w->DbConvert()), toolDraws);
        QVERIFY(w->Command("rad/s")->isChecked() && !w->Command("Hz")->isChecked());

        // Made on the model, outside any window: drawn once the event loop runs.
        w->Model().Hz1Click();
        QTRY_COMPARE(w->Graph()->PointCaption->text(), QString("Frequency (Hz):"));
        QVERIFY(w->Command("Hz")->isChecked());
        QCOMPARE(w->Draws(w->Graph()), graphDraws + 2);
    }

    void entryFieldsTakeTheirHelpAndRangeFromTheParameterTable() {
        w->Command("Bandpass")->trigger();
        SpecWindow* s = w->Spec();
        using velmora::app::HelpText;
        using velmora::app::ParameterNamed;
        const struct {
            const char* field;
            const char* parameter;
        } bound[] = {{"NumEdit1", "apb"}, {"NumEdit3", "bpb"}, {"NumEdit5", "f0"}, {"NumEdit6", "gain"}};
        for (const auto& b : bound)
            QCOMPARE(s->Fields.at(b.field)->toolTip(),
                     QString::fromStdString(HelpText(ParameterNamed(b.parameter))));

        // A gain above the table's range is marked but still typed, so that Calculate
        // gives the step's own message; in dB the field is the dB parameter.
        EntryEdit* gain = s->Fields.at("NumEdit6");
        Retype(gain, "2000");
        QCOMPARE(gain->text(), QString("2000"));
        QVERIFY(gain->property("outOfRange").toBool());
        QTest::keyClick(gain, Qt::Key_Backspace);
        QVERIFY(!gain->property("outOfRange").toBool());
        s->Units[3]->setCurrentIndex(1);
        emit s->Units[3]->activated(1);
        QCOMPARE(gain->toolTip(), QString::fromStdString(HelpText(ParameterNamed("gain-db"))));
    }
};

QTEST_MAIN(ChangeNotificationTest)
#include "change_notification_qtest.moc"
