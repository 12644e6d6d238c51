#include "stages/gains.h"

#include <cmath>
#include <vector>

#include "stages/stage_types.h"

namespace velmora {
namespace {

bool Reached(long double asked, long double reached) {
    return std::fabs(reached - asked) <= kGainMatch * std::fabs(asked);
}

long double Log10Gain(long double g) {
    return g > 0.0L ? std::log10(g) : -1000.0L;
}

// Ratio of the optimal to the actual gain (the shortfall of a stage); 1 when either
// is 0, so that a stage with no gain to make up adds nothing.
long double Shortfall(const TStageCircuit& c) {
    const long double opt = c.OptimalGain, act = c.ActualGain;
    return opt > 0.0L && act > 0.0L ? opt / act : 1.0L;
}

} // namespace

const StageGainRealiser& DefaultGainRealiser() {
    static const AnyGainRealiser any;
    return any;
}

long double OptimalStageGain(const TDesign& d, int stage) {
    const long double To = d.Stages[stage].To;
    if (d.Spec.FilterType == UserDefined || d.StageCount < 1) return To;
    return To * std::pow(10.0L, Log10Gain(d.Spec.OverallGain) / d.StageCount);
}

void DistributeGains(TDesign& d, const StageGainRealiser& circuits) {
    const int N = d.StageCount;
    if (N < 1) return;
    auto& C = d.Circuits;

    // 1. Optimal and actual gains.
    for (int i = 1; i <= N; ++i) {
        if (!C[i].GainAdjusted) C[i].OptimalGain = OptimalStageGain(d, i);
        C[i].ActualGain = C[i].GainAdjusted ? C[i].UserGain : C[i].OptimalGain;
    }
    // 2. Every circuit designed for its gain.
    std::vector<bool> constrained(N + 1, false);
    for (int i = 1; i <= N; ++i) {
        const long double asked = C[i].ActualGain;
        const long double got = circuits.Realise(d, i, asked);
        constrained[i] = !Reached(asked, got);
        C[i].ActualGain = got;
    }
    // 3. Make-up, from the gains recorded after step 2.
    std::vector<long double> recorded(N + 1);
    for (int i = 1; i <= N; ++i)
        recorded[i] = C[i].ActualGain;
    for (int pass = 0; pass <= N; ++pass) {
        for (int i = 1; i <= N; ++i)
            C[i].ActualGain = recorded[i];

        // Trailing run: the constrained stages at the end have no stage after them to
        // make up for them, so their shortfall is spread over the unconstrained stages
        // before them.
        int M = N;
        while (M >= 1 && constrained[M])
            --M;
        if (M < N && M > 0) {
            long double R = 1.0L;
            for (int i = M + 1; i <= N; ++i)
                R *= Shortfall(C[i]);
            int u = 0;
            for (int i = 1; i <= M; ++i)
                u += !constrained[i];
            if (u > 0) {
                const long double f = std::pow(10.0L, std::log10(R) / u);
                for (int i = 1; i <= M; ++i)
                    if (!constrained[i]) C[i].ActualGain = C[i].ActualGain * f;
            }
        }
        // Inner runs: the first unconstrained stage after constrained ones takes their
        // shortfall, so the level behind it is back where it should be.
        bool newlyConstrained = false;
        long double R = 1.0L;
        for (int i = 1; i <= M; ++i) {
            if (constrained[i]) {
                R *= Shortfall(C[i]);
                continue;
            }
            const long double asked = static_cast<long double>(C[i].ActualGain) * R;
            R = 1.0L;
            C[i].ActualGain = asked;
            const long double got = circuits.Realise(d, i, asked);
            if (!Reached(asked, got)) {
                constrained[i] = true;
                recorded[i] = got;
                newlyConstrained = true;
                break;
            }
        }
        if (!newlyConstrained) break;
    }
    for (int i = 1; i <= N; ++i)
        C[i].GainConstrained = constrained[i] ? 1 : 0;
    ComputeDynamicRange(d);
}

void ComputeDynamicRange(TDesign& d) {
    const int N = d.StageCount;
    std::vector<long double> P(N + 1, 1.0L);
    int m = 0;
    long double best = 0.0L;
    for (int i = 1; i <= N; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        const long double r =
            c.OptimalGain != 0.0L ? c.ActualGain / static_cast<long double>(c.OptimalGain) : 1.0L;
        P[i] = P[i - 1] * r;
        if (P[i] > best) {
            best = P[i];
            m = i;
        }
    }
    for (int i = 1; i <= N; ++i)
        d.Circuits[i].DynamicRange = (m > 0 && P[i] > 0.0L) ? 100.0L * P[i] / P[m] : 0.0L;
}

void OverallActualGain(TDesign& d) {
    long double g = d.Spec.OverallGain;
    int constrained = 0;
    for (int i = 1; i <= d.StageCount; ++i) {
        TStageCircuit& c = d.Circuits[i];
        const long double r =
            c.OptimalGain != 0.0L ? c.ActualGain / static_cast<long double>(c.OptimalGain) : 1.0L;
        c.GainRatio = r;
        g *= r;
        constrained += c.GainConstrained != 0;
    }
    d.ActualOverallGain = g;
    d.ConstrainedCount = static_cast<int16_t>(constrained);
}

long double GainPresentationFactor(const TStageCoeffs& s) {
    if (s.StageType != stSLPN || s.Wp == 0.0L) return 1.0L;
    const long double ratio = s.Wz / static_cast<long double>(s.Wp);
    return ratio * ratio;
}

} // namespace velmora
