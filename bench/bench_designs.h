// Designs the benchmarks share: a silent Dialogs port and the automatic design from a
// specification as typed into the form, as the command line runs it.
#pragma once

#include <optional>
#include <string>

#include "analysis/final_response.h"
#include "analysis/tolerance.h"
#include "approx/approximation.h"
#include "circuits/selection.h"
#include "stages/synthesis.h"
#include "ui/dialogs.h"
#include "ui/tfm_main.h"

namespace velmora::bench {

// Answers every question with OK and counts the warnings and errors, as the command
// line does, without writing them anywhere.
class SilentDialogs : public Dialogs {
  public:
    int failures = 0;
    void Beep() override {}
    void Message(MessageKind kind, const std::string&) override {
        if (kind != MessageKind::Information) ++failures;
    }
    Answer AskOkCancel(MessageKind, const std::string&) override { return Answer::Ok; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::No; }
    std::optional<std::string> ChooseFile(const FileChoice&) override { return std::nullopt; }
    void BusyCursor(bool) override {}
};

// A specification as typed into the form; frequencies in kHz (the form's default unit).
struct Request {
    uint8_t type = Lowpass;
    std::string apb = "0.5", asb = "30";
    std::string pass = "1", stop = "2", centre; // lowpass edges, or bandwidths and centre
    std::string order;                          // empty: the estimated order
    int approx = -1;                            // -1: the usable one of lowest order
};

inline void StartDesign(TfmMain& main, uint8_t type) {
    switch (type) {
    case Lowpass:
        main.Lowpass1Click();
        break;
    case Highpass:
        main.Highpass1Click();
        break;
    case Bandpass:
        main.Bandpass1Click();
        break;
    default:
        main.Bandstop1Click();
        break;
    }
}

// Enters the specification into the form and calculates it (the specification step).
// False when the form refused it or no approximation is usable.
inline bool CalculateSpecification(const Request& r, TfmMain& main, SilentDialogs& dialogs) {
    StartDesign(main, r.type);
    TfmParEnt& form = main.ParEnt;
    form.NumEdit1.Text = r.apb;
    form.NumEdit2.Text = r.asb;
    form.NumEdit3.Text = r.pass;
    form.NumEdit4.Text = r.stop;
    if (!r.centre.empty()) form.NumEdit5.Text = r.centre;
    if (!r.order.empty()) {
        form.CheckBox1Click();
        form.IntEdit1.Text = r.order;
    }
    form.CalcBtnClick();
    return dialogs.failures == 0 && form.BitBtn1Enabled;
}

inline Request DefaultLowpass() {
    return Request{};
}

// A bandstop of filter order 20 (10 second-order notch stages): 2 kHz centre, 1 kHz
// passband width, 200 Hz stopband width.
inline Request EllipticBandstop20() {
    Request r;
    r.type = Bandstop;
    r.apb = "0.5";
    r.asb = "60";
    r.pass = "1";
    r.stop = "0.2";
    r.centre = "2";
    r.order = "20";
    r.approx = Elliptic;
    return r;
}

// A Bessel lowpass of order 20 (10 second-order stages) on the default edges.
inline Request BesselLowpass20() {
    Request r;
    r.order = "20";
    r.approx = Bessel;
    return r;
}

// The design from the filter specification to the final response and the tolerance summary the
// command line reports (gain spread of every stage at the passband edge, attenuation
// bounds at the passband and stopband edges); the number of final-response samples, 0
// when a step failed.
inline std::size_t DesignFilter(const Request& r, TfmMain& main, SilentDialogs& dialogs) {
    TDesign& d = main.Design();
    if (!CalculateSpecification(r, main, dialogs)) return 0;
    main.ParEnt.BitBtn1Click();
    const int chosen = r.approx < 0 ? DefaultApproximation(d) : r.approx;
    if (chosen < 0 || !isUsable(d.Approx[chosen])) return 0;
    ChooseApproximation(d, chosen);
    if (SynthesiseStages(d) != SynthesisStatus::Ok) return 0;
    if (!DesignStageCircuits(d).ok) return 0;
    const std::size_t samples = FinalResponseSamples(d).size();
    if (!BuildToleranceReport(d)) return 0;
    return samples;
}

} // namespace velmora::bench
