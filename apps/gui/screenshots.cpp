#include "screenshots.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QThread>
#include <cstdio>

#include "circuits/standard_substitution.h"
#include "main_window.h"
#include "stage_windows.h"
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

// The steps from the pairing to the calculated circuit, each window as a person meets it.
bool StageScreenshots(MainWindow& w, const QString& dir) {
    TfmMain& m = w.Model();
    StageWindows& st = *w.Stages();
    bool ok = true;
    // Pairing: two stages made by hand, one pole and one zero chosen for the next.
    m.Pairs.SelectedPoleRows = {0};
    m.Pairs.AddClick();
    m.Pairs.SelectedPoleRows = {0};
    m.Pairs.AddClick();
    m.Pairs.SelectedPoleRows = {0};
    w.Sync();
    ok &= Save(st.Pairs, dir, "pairing");
    m.Pairs.AutoAddAllClick();
    if (m.Pairs.NextClick() != NextWindow::Cascading) return false;
    m.Cascade.FormShow();
    m.Cascade.RowClick(1);
    w.Sync();
    ok &= Save(st.Cascade, dir, "cascading");
    m.ACrit.Show();
    m.ACrit.CheckClick(0, 1);
    m.ACrit.CheckClick(0, 2);
    w.Sync();
    ok &= Save(st.ACrit, dir, "cascading_criteria");
    m.ACrit.CancelClick();
    m.Cascade.NextClick();
    m.CirSel.FormShow();
    m.CirSel.NextCircuitClick();
    w.Sync();
    ok &= Save(st.CirSel, dir, "circuit_selection");
    // Every stage gets the circuit shown first; the first stage's second candidate is
    // excluded to show the label.
    for (int tab = 0; tab < static_cast<int>(m.CirSel.Tabs.size()); ++tab) {
        m.CirSel.TabChange(tab);
        m.CirSel.FirstClick();
        m.CirSel.SelectClick();
    }
    m.CirSel.TabChange(0);
    m.CirSel.ExcludeClick(3);
    w.Sync();
    ok &= Save(st.CirSel, dir, "circuit_selection_excluded");
    m.CirSel.ExcludeClick(3);
    m.CirSel.NextClick();
    m.CirSel.Visible = false;
    w.Sync();
    ok &= Save(st.CirCal, dir, "components_calc");
    const auto step = [&m](const std::string& name) {
        for (std::size_t i = 0; i < m.CirCal.Steps.size(); ++i)
            if (m.CirCal.Steps[i].Name == name) return static_cast<int>(i);
        return 0;
    };
    m.CirCal.StepClick(step("Adjust Values"));
    w.Sync();
    ok &= Save(st.CirCal, dir, "components_adjust");
    m.CirCal.StepClick(step("Exact C Values"));
    m.CirCal.ComponentClick("C1");
    w.Sync();
    ok &= Save(st.CapAdj, dir, "adjust_capacitor");
    m.CirCal.CapAdj.Visible = false;
    m.CirCal.StepClick(step("Standard R Values"));
    // Switched on directly: the window's notes about the substitution would wait for a
    // person to close them.
    SwitchStandardROn(w.Design(), &m.ProgramInventory);
    m.CirCal.TabChange(0);
    w.Sync();
    ok &= Save(st.CirCal, dir, "components_standard");
    m.CirCal.StepClick(step("User-Assigned R"));
    m.CirCal.ComponentClick("R1");
    w.Sync();
    ok &= Save(st.ResAdj, dir, "adjust_resistor");
    m.CirCal.ResAdj.Visible = false;
    m.CirCal.PageChange(TfmCirCal::TunePage);
    w.Sync();
    ok &= Save(st.CirCal, dir, "components_tune");
    m.CirCal.PageChange(TfmCirCal::SensPage);
    m.CirCal.SensitivitiesClick();
    w.Sync();
    ok &= Save(st.CompSens, dir, "sensitivities");
    m.CirCal.CompSens.CloseClick();
    m.CirCal.PageChange(TfmCirCal::CalcPage);
    m.Compensate.FormShow();
    w.Sync();
    ok &= Save(st.Compensate, dir, "compensation");
    m.Compensate.CancelClick();
    m.Gain.FormShow();
    w.Sync();
    ok &= Save(st.Gain, dir, "filter_gain");
    m.GainAd.Show();
    w.Sync();
    ok &= Save(st.GainAd, dir, "adjust_stage_gains");
    m.GainAd.Visible = false;
    m.Gain.Visible = false;
    m.Characteristics.FormShow();
    w.Sync();
    ok &= Save(st.Characteristics, dir, "component_characteristics");
    m.Characteristics.CancelClick();
    m.CirCal.Visible = false;
    w.Sync();
    return ok;
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
    // On to the stages, paired and cascaded by hand.
    m.Graph.RadioGroup2Click(1);
    m.UI1Click();
    m.UI2Click();
    m.Pairs.Visible = false;
    m.Cascade.Visible = false;
    m.Graph.BitBtn1Click();
    w.Sync();
    ok &= StageScreenshots(w, dir);
    m.Showtransferfunction1Click();
    w.Sync();
    ok &= Save(w.Transfer(), dir, "stages");
    m.Transfer.Visible = false;
    m.Auto1Click();
    m.Auto2Click();
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
        // The Monte Carlo envelope over the passband, zoomed so that the band of 1 %
        // parts is wider than a line, with its yield.
        const AxisRange gain = m.View.Axes.GainDb;
        const auto yAt = [&](double dB) {
            return v.Top + v.Height() * double((gain.Max - dB) / (gain.Max - gain.Min));
        };
        m.View.VariantClick(StandardRSubstitution); // the values the copies are drawn around
        m.View.ZoomBtnClick();
        m.View.ImageMouseDown(MouseButton::Left, v.Left + 0.02 * v.Width(), yAt(0.6));
        m.View.ImageMouseMove(v.Left + 0.52 * v.Width(), yAt(-1.2));
        m.View.ImageMouseUp(MouseButton::Left, v.Left + 0.52 * v.Width(), yAt(-1.2));
        m.View.MonteCarloClick();
        while (m.View.MonteCarloRunning()) {
            QThread::msleep(5);
            m.View.MonteCarloPoll();
        }
        w.Sync();
        Settle();
        ok &= Save(w.View(), dir, "final_response_envelope");
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
