// The catalogue's circuits as the circuit tests drive them: every design form of every
// circuit, a one-stage design loaded the way the selection step loads a row (for calling
// a design routine directly), the realised function at a complex frequency, a pole of
// the nodal response, and component sets moved off their design.
#pragma once

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/nodal.h"
#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "circuits/components.h"
#include "stages/stage_types.h"

namespace velmora::test {

inline constexpr long double kPiL = std::numbers::pi_v<long double>;

// A circuit in one of its design forms: the standard one, " C2 variable" (where the row
// offers it) or "C1=C2 : R1=R2" (the equal-component Sallen-Key forms).
struct CircuitForm {
    std::string_view key;
    int type = 0;
    bool c2Variable = false, c1EqC2 = false;
    std::string Label() const {
        return std::string(key) + (c2Variable ? " C2 variable" : c1EqC2 ? " C1=C2" : "");
    }
};

inline std::vector<CircuitForm> AllCircuitForms() {
    std::vector<CircuitForm> forms;
    for (const CatalogueEntry& e : CatalogueEntries()) {
        forms.push_back({e.key, e.type});
        if (RowOf(e).C2Variable) forms.push_back({e.key, e.type, true, false});
        if (e.key == "SLP02" || e.key == "SHP02") forms.push_back({e.key, e.type, false, true});
    }
    return forms;
}

struct LoadedStageSetup {
    long double wp = 0, qp = 0, gain = 1, wz = 0; // rad/s
    bool c2Variable = false, c1EqC2 = false, compensated = false, predistort = false;
    long double gbwHz = 1.0e6L;
};

// The stage record (Sigma = wp for the first-order circuits) and the circuit record as the
// row loading (LoadCatalogueRow) leaves it: the row's counts and flags, the starting
// capacitors and the gain pair's R(n) = 10 kOhm; then the setup's options.
inline std::unique_ptr<TDesign> LoadedStage(std::string_view key, const LoadedStageSetup& s) {
    const CatalogueEntry* e = EntryByKey(key);
    if (e == nullptr) throw std::runtime_error("no catalogue entry " + std::string(key));
    auto d = std::make_unique<TDesign>();
    d->StageCount = 1;
    TStageCoeffs& st = d->Stages[1];
    st.StageType = static_cast<uint8_t>(e->type);
    st.Wp = s.wp;
    st.Qp = s.qp;
    st.Sigma = s.wp;
    st.Wz = s.wz;
    TStageCircuit& c = d->Circuits[1];
    c.CircuitNumber = static_cast<int16_t>(e->number);
    c.CircuitChoice = static_cast<int16_t>(e->choice);
    if (!LoadCatalogueRow(*d, 1)) throw std::runtime_error("row not loaded: " + std::string(key));
    c.UseC2Variable = s.c2Variable;
    c.UseC1EqC2 = s.c1EqC2;
    c.DesiredGain = s.gain;
    c.ActualGain = s.gain;
    c.OpAmpGBW = s.gbwHz;
    c.CompensationInUse = s.compensated;
    c.Predistort = s.predistort;
    return d;
}

inline std::unique_ptr<TDesign> LoadedStage(const CircuitForm& f, LoadedStageSetup s) {
    s.c2Variable = f.c2Variable;
    s.c1EqC2 = f.c1EqC2;
    return LoadedStage(f.key, s);
}

inline const CircuitRoutines& RoutinesOf(std::string_view key) {
    const CircuitRoutines* r = FindCircuit(key);
    if (r == nullptr) throw std::runtime_error("no routines for " + std::string(key));
    return *r;
}

template <typename T> ComponentValues<T> ValuesOf(const TStageCircuit& c) {
    ComponentValues<T> v;
    for (int n = 1; n <= kResistorSlots; ++n)
        v.R[n] = T(R(c, n));
    for (int n = 1; n <= kCapacitorSlots; ++n)
        v.C[n] = T(C(c, n));
    return v;
}

inline Complex Evaluate(const RealisedStage<long double>& h, Complex s) {
    Complex num = 0, den = 0;
    for (int p = 3; p >= 0; --p) {
        num = num * s + h.num[p];
        den = den * s + h.den[p];
    }
    return num / den;
}

// The upper-half-plane pole of wp and Qp.
inline Complex PoleOf(long double wp, long double qp) {
    return wp * Complex(-1 / (2 * qp), std::sqrt(1 - 1 / (4 * qp * qp)));
}

// The pole of the nodal response near `start` (1/H has a simple zero there), by Newton's
// method on 1/H with a central-difference derivative.
inline std::optional<Complex> PoleNear(std::string_view key, const ComponentValues<long double>& v,
                                       Complex start, const OpAmpModel& model, bool compensated = false) {
    Complex s = start;
    const long double h = 1e-7L * std::abs(start);
    for (int i = 0; i < 60; ++i) {
        const auto f = NodalResponse(key, v, s, model, compensated);
        const auto fu = NodalResponse(key, v, s + h, model, compensated);
        const auto fd = NodalResponse(key, v, s - h, model, compensated);
        // The node equations are singular only at a pole itself: after a first step that
        // means the iteration has landed on it.
        if (!f || !fu || !fd) return i > 0 ? std::optional<Complex>(s) : std::nullopt;
        const Complex step = (1.0L / *f) / ((1.0L / *fu - 1.0L / *fd) / (2 * h));
        s -= step;
        if (std::abs(step) < 1e-15L * std::abs(s)) return s;
    }
    return s;
}

// The values each moved by its own factor in [0.6, 1.6] (set 0: as they are), so that no
// equality of the design (R1 = R2, C1 = C2, ...) hides a swapped component.
inline ComponentValues<long double> Moved(ComponentValues<long double> v, int set) {
    if (set == 0) return v;
    for (int n = 1; n <= kResistorSlots; ++n)
        v.R[n] *= 1.1L + 0.5L * std::sin(2.3L * (n + 17 * set) + 0.7L);
    for (int n = 1; n <= kCapacitorSlots; ++n)
        v.C[n] *= 1.1L + 0.5L * std::sin(2.3L * (n + 5 + 11 * set) + 0.7L);
    return v;
}

} // namespace velmora::test
