// The desktop program as its QtTests start it: settings and data in a fresh scratch home,
// the main window started and shown, the buttons a person presses to take the default
// design of a filter type to a step window, and typing into a field.
#pragma once

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "support/recording_dialogs.h"
#include "windows.h"

namespace velmora::test {

// A fresh home for every run: a settings file left by an earlier run would start the
// windows in its units, an inventory file with its stock.
inline bool UseScratchHome(const QTemporaryDir& home) {
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    return home.isValid();
}

inline bool Started(gui::MainWindow& w) {
    if (!w.Start()) return false;
    w.show();
    return true;
}

// A fresh main window for every test function, its dialogs recorded: a QtTest class
// derives from QObject and this, starts it in init() and drops the window in cleanup().
struct FreshWindow {
    std::unique_ptr<RecordingDialogs> dlg;
    std::unique_ptr<gui::MainWindow> w;

    bool StartWindow() {
        w.reset(); // before the dialogs it talks to
        dlg = std::make_unique<RecordingDialogs>();
        w = std::make_unique<gui::MainWindow>(dlg.get());
        return Started(*w);
    }
};

// The default specification of `type` calculated and handed on: the ideal responses.
inline void Specify(gui::MainWindow& w, const char* type = "Lowpass") {
    w.Command(type)->trigger();
    QTest::mouseClick(w.Spec()->Calculate, Qt::LeftButton);
    QTest::mouseClick(w.Spec()->Next, Qt::LeftButton);
}

// ... on through the automatic steps to the circuit selection.
inline void ToCircuitSelection(gui::MainWindow& w) {
    Specify(w);
    QTest::mouseClick(w.Graph()->Next, Qt::LeftButton);
}

// ... and to the final responses: the stages table's "Final Responses" chooses and
// calculates every circuit at once.
inline void ToFinalResponses(gui::MainWindow& w) {
    ToCircuitSelection(w);
    w.Command("Show transfer function")->trigger();
    QTest::mouseClick(w.Transfer()->FinalResponses, Qt::LeftButton);
}

// Typing into a field as a person does: click in it, select what is there, type.
inline void Retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Lines joined, one a line, so that a failure shows what the program said.
inline QString Joined(const std::vector<std::string>& lines) {
    QString all;
    for (const std::string& l : lines)
        all += QString::fromStdString(l) + "\n";
    return all;
}

} // namespace velmora::test
