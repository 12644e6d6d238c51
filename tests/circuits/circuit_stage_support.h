// One-stage designs for the substitution and adjustment tests: a stage of a catalogue
// circuit with given targets, and a sweep of targets over every offered circuit.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "approx/approx_test_support.h" // kTwoPi
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "stages/stage_types.h"

namespace velmora::test {

// A design with one stage of the circuit's type and these targets, its circuit set to
// `key` and not yet loaded (op amps of 1 MHz).
inline TDesign OneStage(std::string_view key, long double wp, long double qp = 0.7071067811865476L,
                        long double gain = 1.0L, long double wz = 0.0L) {
    TDesign d;
    const CatalogueEntry* e = EntryByKey(key);
    d.StageCount = 1;
    TStageCoeffs& s = d.Stages[1];
    s.StageType = static_cast<uint8_t>(e->type);
    s.Wp = wp;
    s.Qp = isFirstOrder(e->type) ? 0.0L : qp;
    s.Sigma = isFirstOrder(e->type) ? wp : 0.0L;
    s.Wz = isNotch(e->type) ? wz : 0.0L;
    TStageCircuit& c = d.Circuits[1];
    c.CircuitNumber = static_cast<int16_t>(e->number);
    c.CircuitChoice = static_cast<int16_t>(e->choice);
    c.Initialise = 1;
    c.DesiredGain = c.ActualGain = gain;
    c.OpAmpGBW = 1.0e6L;
    return d;
}

// The same stage calculated.
inline TDesign CalculatedStage(std::string_view key, long double wp, long double qp, long double gain,
                               long double wz = 0.0L) {
    TDesign d = OneStage(key, wp, qp, gain, wz);
    LoadAndCalculate(d, 1);
    return d;
}

// The pole, Q, gain and zero of stage i's transfer function, computed again from its
// stored component values (a second computation next to the stage's own figures).
inline std::optional<StageParameters<long double>> RealisedOf(const TDesign& d, int i = 1) {
    return RealisedParameters(StageCircuitRoutines(d, i)->realise(StageComponentValues(d.Circuits[i])),
                              d.Stages[i].StageType);
}

// Two realisations of a stage agree in every figure to `rel` (the gain by magnitude and sign).
inline void ExpectSameParameters(const StageParameters<long double>& got,
                                 const StageParameters<long double>& want, long double rel) {
    EXPECT_NEAR(double(got.wp), double(want.wp), double(rel * want.wp));
    EXPECT_NEAR(double(got.qp), double(want.qp), double(rel * want.qp));
    EXPECT_NEAR(double(got.gain), double(want.gain), double(rel * std::fabs(want.gain)));
    EXPECT_NEAR(double(got.wz), double(want.wz), double(rel * want.wz));
}

// Every stored component value of two circuits the same, to the last bit.
inline void ExpectSameValues(const TStageCircuit& got, const TStageCircuit& want) {
    for (int n = 1; n <= kComponentSlots; ++n)
        EXPECT_EQ(static_cast<long double>(got.Components[n].Value),
                  static_cast<long double>(want.Components[n].Value))
            << "slot " << n;
}

// Every offered circuit over pole frequencies from audio to 50 kHz, Q from 0.55 to 5 and
// gains 1 and 2 (notch zeros a third above or below the pole, or on it); `visit` sees
// every realisable stage with a label for failure messages.
inline void ForEachCalculatedStage(const std::function<void(TDesign&, const std::string&)>& visit) {
    const long double frequencies[] = {kTwoPi * 97.0L, kTwoPi * 3300.0L, kTwoPi * 47000.0L};
    const long double qs[] = {0.55L, 0.7071067811865476L, 1.3L, 5.0L};
    const long double gains[] = {1.0L, 2.0L};
    for (const CatalogueEntry& e : CatalogueEntries())
        for (const long double wp : frequencies)
            for (const long double qp : qs)
                for (const long double gain : gains) {
                    if (isFirstOrder(e.type) && qp != qs[0]) continue;
                    const long double wz = e.type == stSLPN ? wp * 1.33L : e.type == stSHPN ? wp / 1.33L : wp;
                    TDesign d = CalculatedStage(e.key, wp, qp, gain, wz);
                    if (d.Circuits[1].NotRealisable) continue;
                    visit(d, std::string(e.key) + " wp=" + std::to_string(static_cast<double>(wp)) +
                                 " Qp=" + std::to_string(static_cast<double>(qp)) +
                                 " K=" + std::to_string(static_cast<double>(gain)));
                }
}

} // namespace velmora::test
