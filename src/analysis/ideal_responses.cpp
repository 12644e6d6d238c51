#include "analysis/ideal_responses.h"

#include <cmath>
#include <cstring>

#include "analysis/ideal_columns.h"
#include "approx/approximation.h"

namespace velmora {

IdealAxes DefaultIdealAxes(const TDesign& d) {
    return IdealAxes{DefaultFrequencyAxis(d), DefaultTimeAxis(d)};
}

void ComputeIdealFrequencyResponses(TDesign& d, const FrequencyAxis& requested) {
    const FrequencyAxis axis = UsableFrequencyAxis(requested);
    BuildFrequencyColumn(d, axis);
    for (int a : ResponseApproximations(d)) {
        // Gain, phase and delay in one pass over the column, fast where the stored
        // values are certain, in extended precision elsewhere.
        const IdealFilter f = IdealFilterOf(d, a);
        IdealFrequencyColumns(d, a, f);
        // Every approximation with zeros on the imaginary axis gets its notches, the
        // all-pole bandstop (zeros at the centre frequency) included.
        MarkNotches(d, a, axis.Log, f);
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

namespace {

// The parts of the design the ideal responses read or write, given to `bytes` as the
// bytes that represent them. Each record is taken whole, so that a field added to it
// later is compared too; a text in it is represented by its size and the place of its
// characters, so the characters are given as well. A byte that differs only in padding,
// or a text moved elsewhere unchanged, only makes the responses be computed again, never
// the reverse.
template <typename Bytes> void ForEachResponsePart(const TDesign& d, Bytes&& bytes) {
    const auto whole = [&](const auto& part) { bytes(&part, sizeof(part)); };
    const auto text = [&](const std::string& t) { bytes(t.data(), t.size()); };
    whole(d.Spec);
    for (const Approximation& a : d.Approx) {
        whole(a);
        text(a.Result.GainConstantText);
    }
    whole(d.FreqColumn);
    whole(d.StageCount);
    for (const TStageCoeffs& st : d.Stages) {
        whole(st);
        text(st.Name);
    }
}

// Equal values with the same sign (so that -0 and +0 differ); a NaN never matches.
bool Same(long double a, long double b) {
    return a == b && std::signbit(a) == std::signbit(b);
}

bool SameAxes(const IdealAxes& a, const IdealAxes& b) {
    return Same(a.Freq.Min, b.Freq.Min) && Same(a.Freq.Max, b.Freq.Max) && a.Freq.Log == b.Freq.Log &&
           a.Freq.Hz == b.Freq.Hz && a.Freq.Decade == b.Freq.Decade && Same(a.Time.Start, b.Time.Start) &&
           Same(a.Time.FullScale, b.Time.FullScale) && Same(a.Time.Tick, b.Time.Tick) &&
           a.Time.Exp == b.Time.Exp;
}

} // namespace

bool IdealResponseRecord::Current(const TDesign& d, const IdealAxes& axes) const {
    if (!valid_ || !SameAxes(axes_, axes)) return false;
    std::size_t at = 0;
    bool same = true;
    ForEachResponsePart(d, [&](const void* part, std::size_t n) {
        same = same && at + n <= bytes_.size() && (n == 0 || std::memcmp(bytes_.data() + at, part, n) == 0);
        at += n;
    });
    return same && at == bytes_.size();
}

void IdealResponseRecord::Record(const TDesign& d, const IdealAxes& axes) {
    std::size_t total = 0;
    ForEachResponsePart(d, [&](const void*, std::size_t n) { total += n; });
    bytes_.resize(total);
    std::size_t at = 0;
    ForEachResponsePart(d, [&](const void* part, std::size_t n) {
        if (n > 0) std::memcpy(bytes_.data() + at, part, n);
        at += n;
    });
    axes_ = axes;
    valid_ = true;
}

void ComputeIdealResponses(TDesign& d, const IdealAxes& axes, IdealResponseRecord& record) {
    if (record.Current(d, axes)) return;
    ComputeIdealResponses(d, axes);
    record.Record(d, axes);
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
