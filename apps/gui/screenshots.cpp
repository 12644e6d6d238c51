#include "screenshots.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <cstdio>

#include "main_window.h"
#include "windows.h"

namespace velmora::gui {

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool Save(QWidget* w, const QString& dir, const QString& name) {
    Settle();
    const QString path = dir + "/" + name + ".png";
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "velmora: cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

void SetField(TEditControl& c, const std::string& text) {
    c.Text = text;
}

} // namespace

bool TakeScreenshots(MainWindow& w, const QString& dir, const QString& designFile) {
    QDir().mkpath(dir);
    TfmMain& m = w.Model();
    bool ok = true;
    if (!designFile.isEmpty()) {
        if (!m.OpenDesign(designFile.toStdString())) return false;
        w.Sync();
        const QString base = QFileInfo(designFile).completeBaseName();
        ok &= Save(&w, dir, base + "_main");
        for (QWidget* win : {static_cast<QWidget*>(w.Spec()), static_cast<QWidget*>(w.Graph()),
                             static_cast<QWidget*>(w.User()), static_cast<QWidget*>(w.Transfer())})
            if (win->isVisible()) ok &= Save(win, dir, base + "_" + win->objectName().toLower());
        return ok;
    }

    ok &= Save(&w, dir, "main_window");
    // The default lowpass: its template, then the comparison of the approximations.
    m.Lowpass1Click();
    w.Sync();
    ok &= Save(w.Spec(), dir, "entry_template");
    m.ParEnt.CalcBtnClick();
    w.Sync();
    ok &= Save(w.Spec(), dir, "entry_results");
    // The ideal responses, every tab.
    m.ParEnt.BitBtn1Click();
    w.Sync();
    GraphWindow* g = w.Graph();
    for (int tab = 0; tab < kGraphTabCount; ++tab) {
        m.Graph.TabControl1Change(tab);
        w.Sync();
        ok &= Save(g, dir, QString("graph_") + kGraphTabNames[tab]);
    }
    // A zoom being dragged on the gain tab, and the point calculator after a click.
    m.Graph.TabControl1Change(0);
    w.Sync();
    Settle();
    const PlotArea a = m.Graph.Area();
    m.Graph.ZoomBtnClick();
    m.Graph.ImageMouseDown(MouseButton::Left, a.Left + 0.3 * a.Width(), a.Top + 0.05 * a.Height());
    m.Graph.ImageMouseMove(a.Left + 0.7 * a.Width(), a.Top + 0.6 * a.Height());
    w.Sync();
    ok &= Save(g, dir, "graph_zoom_drag");
    m.Graph.ImageMouseUp(MouseButton::Left, a.Left + 0.7 * a.Width(), a.Top + 0.6 * a.Height());
    m.Graph.ImageMouseDown(MouseButton::Left, a.Left + 0.5 * a.Width(), a.Top + 0.5 * a.Height());
    w.Sync();
    ok &= Save(g, dir, "graph_zoomed_point_calculator");
    m.Graph.TabControl1Change(5);
    m.Graph.ImageMouseDown(MouseButton::Left, a.Left + 0.5 * a.Width(), a.Top + 0.5 * a.Height());
    w.Sync();
    ok &= Save(g, dir, "graph_pole_zero_list");
    // On to the stages.
    m.Graph.RadioGroup2Click(1);
    m.Graph.BitBtn1Click();
    w.Sync();
    ok &= Save(w.Transfer(), dir, "stages");
    // The final responses of the circuits chosen automatically, with the op amps' curve
    // and a point read.
    if (m.FinalResponsesClick()) {
        m.View.VariantClick(OpAmpGbw);
        w.Sync();
        Settle();
        const PlotArea v = m.View.Area();
        m.View.ImageMouseDown(MouseButton::Left, v.Left + 0.45 * v.Width(), v.Top + 0.5 * v.Height());
        w.Sync();
        ok &= Save(w.View(), dir, "final_response");
        m.View.Visible = false;
        w.Sync();
    }

    // A user-defined filter of two sections (the lowpass is left unsaved on purpose).
    w.Design().Modified = 0;
    m.userdefined1Click();
    SetField(m.User.Edit1, "0.707");
    SetField(m.User.Edit2, "1");
    m.User.AddBtnClick();
    m.User.RadioGroup2Click(3);
    SetField(m.User.Edit1, "3");
    SetField(m.User.Edit2, "1.2");
    SetField(m.User.Edit3, "2");
    m.User.AddBtnClick();
    w.Sync();
    ok &= Save(w.User(), dir, "user_defined");

    m.dBVV1Click();
    m.Resistor1Click();
    w.Sync();
    ok &= Save(w.DbConvert(), dir, "db_converter");
    ok &= Save(w.ResValues(), dir, "resistor_values");
    w.Design().Modified = 0;
    return ok;
}

} // namespace velmora::gui
