#include "ui/ngspice_overlay.h"

#include <cmath>
#include <numbers>
#include <sstream>

namespace velmora {

SpiceNetlist OverlayNetlist(const TDesign& d, const FrequencyAxis& axis, bool opAmps) {
    SpiceOptions o = SpiceOptionsForGraph(axis);
    o.dialect = SpiceDialect::Ngspice;
    o.opamp = opAmps ? SpiceOpAmpModel::SinglePole : SpiceOpAmpModel::Vcvs;
    o.pointsPerDecade = "100";
    o.probe = o.print = o.plot = o.monteCarlo = false;
    o.dataFile = kOverlayData;
    return BuildSpiceNetlist(d, o);
}

std::optional<std::vector<FinalFrequencySample>> ReadNgspiceAc(const std::string& text) {
    constexpr double kTwoPi = 2 * std::numbers::pi;
    constexpr double kDegrees = 180 / std::numbers::pi;
    std::vector<FinalFrequencySample> out;
    std::istringstream in(text);
    double f = 0, re = 0, im = 0, last = -1, previous = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        if (!(fields >> f >> re >> im)) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            return std::nullopt;
        }
        if (!std::isfinite(f) || !std::isfinite(re) || !std::isfinite(im) || !(f > 0)) return std::nullopt;
        if (f <= last) break; // a second sweep (a Monte Carlo run) starts
        last = f;
        FinalFrequencySample s;
        s.FHz = f;
        s.W = kTwoPi * f;
        s.GainVV = std::hypot(re, im);
        s.GainDb = s.GainVV > 0 ? 20 * std::log10(s.GainVV) : -400;
        // Unwrapped: the step from the previous point taken within half a turn.
        double phase = std::atan2(im, re) * kDegrees;
        if (!out.empty()) phase = previous + std::remainder(phase - previous, 360.0);
        previous = phase;
        s.PhaseDeg = phase;
        s.PhaseLag = -phase;
        out.push_back(s);
    }
    if (out.size() < 2) return std::nullopt;
    return out;
}

std::string OutputTail(const std::string& output, int lines) {
    size_t at = output.size();
    while (at > 0 && (output[at - 1] == '\n' || output[at - 1] == '\r'))
        --at;
    const size_t end = at;
    for (int n = 0; at > 0 && n < lines; --at)
        if (output[at - 1] == '\n' && ++n == lines) break;
    return output.substr(at, end - at);
}

} // namespace velmora
