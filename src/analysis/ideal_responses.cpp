#include "analysis/ideal_responses.h"

#include "approx/approximation.h"

namespace velmora {

IdealAxes DefaultIdealAxes(const TDesign& d) {
    return IdealAxes{DefaultFrequencyAxis(d), DefaultTimeAxis(d)};
}

void ComputeIdealFrequencyResponses(TDesign& d, const FrequencyAxis& requested) {
    const FrequencyAxis axis = UsableFrequencyAxis(requested);
    BuildFrequencyColumn(d, axis);
    const long double G = d.Spec.OverallGain;
    for (int a : ResponseApproximations(d)) {
        // Gain, phase and delay in one pass over the column, from factors built once:
        // the values of IdealGain, IdealPhase and IdealDelay.
        const IdealFilter f = IdealFilterOf(d, a);
        for (int i = 0; i <= kResponseIntervals; ++i) {
            const long double w = d.FreqColumn[i].W;
            IdealSample& s = d.Approx[a].Ideal[i];
            const long double t = IdealMagnitude(f, G, w);
            s.GainVV = t;
            s.GainDb = GainToDb(t);
            s.Phase = IdealPhaseLag(f, w);
            s.Delay = IdealGroupDelay(f, w);
        }
        // Every approximation with zeros on the imaginary axis gets its notches, the
        // all-pole bandstop (zeros at the centre frequency) included.
        MarkNotches(d, a, axis.Log);
    }
}

void ComputeIdealTimeResponses(TDesign& d, const TimeAxis& axis) {
    for (int a : ResponseApproximations(d)) {
        StepAndImpulseResponses(d, a, axis);
    }
}

void ComputeIdealResponses(TDesign& d, const IdealAxes& axes) {
    ComputeIdealFrequencyResponses(d, axes.Freq);
    ComputeIdealTimeResponses(d, axes.Time);
}

void ComputeIdealResponses(TDesign& d) {
    ComputeIdealResponses(d, DefaultIdealAxes(d));
}

std::vector<IdealResponseTable> IdealResponseTables(const TDesign& d, const IdealAxes& axes, int only) {
    std::vector<IdealResponseTable> tables;
    for (int a : ResponseApproximations(d)) {
        if (only >= 0 && a != only) continue;
        IdealResponseTable t;
        t.Index = a;
        t.Name = d.Spec.FilterType == UserDefined ? "User defined" : kApproxNames[a];
        for (int i = 0; i <= kResponseIntervals; ++i) {
            const IdealSample& s = d.Approx[a].Ideal[i];
            IdealFrequencySample f;
            f.FHz = d.FreqColumn[i].F;
            f.W = d.FreqColumn[i].W;
            f.GainDb = s.GainDb;
            f.GainVV = s.GainVV;
            f.PhaseDeg = -static_cast<long double>(s.Phase);
            f.DelayS = s.Delay;
            t.Samples.push_back(f);
            t.Time.push_back(IdealTimeSample{AxisTime(axes.Time, i), s.Step, s.Impulse});
        }
        tables.push_back(std::move(t));
    }
    return tables;
}

std::vector<IdealResponseTable> ComputeIdealResponseTables(TDesign& d, int only) {
    const IdealAxes axes = DefaultIdealAxes(d);
    ComputeIdealResponses(d, axes);
    return IdealResponseTables(d, axes, only);
}

} // namespace velmora
