#include "app/entry_form.h"

#include <cmath>
#include <numbers>

#include "app/parameters.h"
#include "approx/approximation.h"
#include "model/number_text.h"

namespace velmora::app {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;

bool IsBand(uint8_t type) {
    return type == Bandpass || type == Bandstop;
}

// A field's value in rad/s and its entry (in the field's unit). The exact value behind a
// text the program wrote wins; a typed text is stored (rounded to Real48) and then scaled.
std::optional<std::pair<long double, long double>> ReadFrequency(const FrequencyEntry& f, bool hz) {
    const long double factor = FrequencyUnitFactor(hz, f.unit);
    if (f.exactRad && f.text == f.exactText) return std::pair{*f.exactRad / factor, *f.exactRad};
    long double v = 0;
    if (!ParseDecimal(f.text, v) || v == 0) return std::nullopt;
    return std::pair{v, static_cast<long double>(Real48(v)) * factor};
}

// Working values from the entries: the normalised passband edge, the selectivity and,
// with a forced order, a stopband placed an octave from the passband (only the order is
// designed then, the stopband is not read).
void ConvertToWorking(const TDesign& d, Specification& s, long double pass, long double stop,
                      long double centre) {
    const bool forced = s.ForceOrder;
    s.Apb = s.ApbEntry;
    s.NormPassEdge = 1.0L;
    if (forced) {
        // Only the Inverse Chebyshev result reads the stopband attenuation of a forced
        // order (it recomputes it); the others keep the stored value.
        if (d.SelectedApprox == InverseChebyshev) s.Asb = s.AsbEntry;
    } else {
        s.Asb = s.AsbEntry;
    }
    switch (s.FilterType) {
    case Lowpass:
        s.wpb = pass;
        s.wsb = forced ? 2.0L * s.wpb : stop;
        s.Selectivity = s.wsb / s.wpb;
        break;
    case Highpass:
        s.wpb = pass;
        s.wsb = forced ? 0.5L * s.wpb : stop;
        s.Selectivity = s.wpb / s.wsb;
        break;
    case Bandpass:
        s.Bpb = pass;
        s.Bsb = forced ? 2.0L * s.Bpb : stop;
        s.w0 = centre;
        s.Selectivity = s.Bsb / s.Bpb;
        break;
    case Bandstop:
        s.Bpb = pass;
        s.Bsb = forced ? 0.5L * s.Bpb : stop;
        s.w0 = centre;
        s.Selectivity = s.Bpb / s.Bsb;
        break;
    default:
        break;
    }
}

// Every check of the working values together.
std::vector<EntryIssue> Validate(const Specification& s) {
    const bool forced = s.ForceOrder;
    std::vector<EntryIssue> issues;
    auto fail = [&](EntryProblem p) { issues.push_back({p, EntryField::None}); };
    if (s.Apb >= s.Asb && !forced) fail(EntryProblem::AsbNotAboveApb);
    if (s.FilterType == Lowpass && s.wpb >= s.wsb) fail(EntryProblem::StopNotAbovePass);
    if (s.FilterType == Highpass && s.wpb <= s.wsb) fail(EntryProblem::PassNotAboveStop);
    if (s.FilterType == Bandpass && s.Bpb >= s.Bsb && !forced) fail(EntryProblem::BsbNotAboveBpb);
    if (s.FilterType == Bandstop && s.Bpb <= s.Bsb && !forced) fail(EntryProblem::BpbNotAboveBsb);
    // The limit applies to the frequencies typed for this filter type: the edges of a
    // lowpass or highpass (the stopband edge only when it is not derived from a forced
    // order) and the centre of a bandpass or bandstop.
    const bool tooHigh = IsBand(s.FilterType)
                             ? s.w0 > kMaxFrequencyRad
                             : s.wpb > kMaxFrequencyRad || (!forced && s.wsb > kMaxFrequencyRad);
    if (tooHigh) fail(EntryProblem::FrequencyTooHigh);
    return issues;
}

} // namespace

long double FrequencyUnitFactor(bool hz, int unit) {
    if (hz) return unit == 1 ? 1000.0L * kTwoPi : kTwoPi;
    return unit == 1 ? 1000.0L : 1.0L;
}

SpecificationEntry SetUpNewSpecification(TDesign& d) {
    Specification& s = d.Spec;
    const uint8_t type = s.FilterType;
    // Default edges by filter type: passband, stopband and centre, in kHz (krad/s).
    long double pass = 1, stop = 2, centre = 0;
    switch (type) {
    case Highpass:
        pass = 2, stop = 1;
        break;
    case Bandpass:
        pass = 1, stop = 2, centre = 2;
        break;
    case Bandstop:
        pass = 2, stop = 1, centre = 2;
        break;
    default:
        break;
    }
    SpecificationEntry e;
    e.apb = ParameterNamed("apb").defaultValue;
    e.asb = ParameterNamed("asb").defaultValue;
    long double apb = 0, asb = 0;
    ParseDecimal(e.apb, apb);
    ParseDecimal(e.asb, asb);
    s.ApbEntry = s.Apb = apb;
    s.AsbEntry = s.Asb = asb;
    s.PassFreqEntry = pass;
    s.StopFreqEntry = stop;
    s.CenterFreqEntry = centre;
    s.PassFreqUnit = s.StopFreqUnit = s.CenterFreqUnit = 1;
    s.ForceOrder = 0;
    s.ForcedOrder = 0;
    e.pass.text = TrimmedText(pass, 3);
    e.stop.text = TrimmedText(stop, 3);
    e.centre.text = IsBand(type) ? TrimmedText(centre, 3) : "";
    return e;
}

SpecificationRead ReadSpecification(const TDesign& d, const SpecificationEntry& e) {
    SpecificationRead r;
    Specification& s = r.working;
    s = d.Spec;
    const bool hz = d.Opt.FreqUnitsHz;
    const uint8_t type = s.FilterType;
    auto stop = [&](EntryProblem p, EntryField f) {
        r.issues.push_back({p, f});
        return r;
    };
    if (e.forceOrder) {
        long double n = 0;
        const bool digits = !e.order.empty() && e.order.find_first_not_of("0123456789") == std::string::npos;
        const Parameter& order = ParameterNamed("order");
        if (!digits || !ParseDecimal(e.order, n) || n < order.low)
            return stop(EntryProblem::OrderNotWhole, EntryField::Order);
        if (n > order.high) return stop(EntryProblem::OrderTooHigh, EntryField::Order);
        if (IsBand(type) && static_cast<int>(n) % 2 != 0)
            return stop(EntryProblem::OrderOdd, EntryField::Order);
        s.ForcedOrder = static_cast<int16_t>(n);
    }
    s.ForceOrder = e.forceOrder ? 1 : 0;

    long double v = 0;
    if (!ParseDecimal(e.apb, v) || v == 0) return stop(EntryProblem::InvalidNumber, EntryField::Apb);
    s.ApbEntry = v;
    if (!e.forceOrder) { // a forced order leaves the stopband entries unread
        if (!ParseDecimal(e.asb, v) || v == 0) return stop(EntryProblem::InvalidNumber, EntryField::Asb);
        s.AsbEntry = v;
    }
    long double passRad = 0, stopRad = 0, centreRad = 0;
    const auto pass = ReadFrequency(e.pass, hz);
    if (!pass) return stop(EntryProblem::InvalidNumber, EntryField::Pass);
    s.PassFreqEntry = pass->first;
    passRad = pass->second;
    if (!e.forceOrder) {
        const auto sb = ReadFrequency(e.stop, hz);
        if (!sb) return stop(EntryProblem::InvalidNumber, EntryField::Stop);
        s.StopFreqEntry = sb->first;
        stopRad = sb->second;
    }
    if (IsBand(type)) {
        const auto c = ReadFrequency(e.centre, hz);
        if (!c) return stop(EntryProblem::InvalidNumber, EntryField::Centre);
        s.CenterFreqEntry = c->first;
        centreRad = c->second;
    }
    s.PassFreqUnit = static_cast<int16_t>(e.pass.unit);
    s.StopFreqUnit = static_cast<int16_t>(e.stop.unit);
    s.CenterFreqUnit = static_cast<int16_t>(e.centre.unit);
    ConvertToWorking(d, s, passRad, stopRad, centreRad);
    r.issues = Validate(s);
    return r;
}

GainRead ReadOverallGain(const SpecificationEntry& e) {
    long double v = 0;
    if (!ParseDecimal(e.gain, v))
        return {std::nullopt, EntryIssue{EntryProblem::InvalidNumber, EntryField::Gain}};
    const Parameter& limits = ParameterNamed("gain");
    // In dB an entry cannot be negative: only the upper limit applies.
    const long double gain = e.gainDb ? std::pow(10.0L, v / 20.0L) : v;
    if (!e.gainDb && gain < limits.low)
        return {std::nullopt, EntryIssue{EntryProblem::GainTooLow, EntryField::Gain}};
    if (gain > limits.high) return {std::nullopt, EntryIssue{EntryProblem::GainTooHigh, EntryField::Gain}};
    return {gain, std::nullopt};
}

} // namespace velmora::app
