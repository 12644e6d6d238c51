#include "stages/pairing.h"

#include <cmath>
#include <limits>
#include <vector>

#include "stages/stage_types.h"

namespace velmora {
namespace {

// The section s^2 + B s + C has two real poles when its discriminant is positive.
bool SplitSection(const PoleTableEntry& e) {
    const long double half = e.B / 2.0L;
    return static_cast<long double>(e.C) < half * half;
}

// Index into `taken` of the largest key not yet taken; among equal keys the later one,
// so ties go to the entry later in the approximation's table.
int TakeLargest(const std::vector<long double>& key, std::vector<bool>& taken) {
    int best = -1;
    for (int i = 0; i < (int)key.size(); ++i) {
        if (taken[i]) continue;
        if (best < 0 || key[i] >= key[best]) best = i;
    }
    if (best >= 0) taken[best] = true;
    return best;
}

void SetTableIndex(TPoleEntry& p, int k) {
    p.Reserved[0] = static_cast<uint8_t>(k & 0xFF);
    p.Reserved[1] = static_cast<uint8_t>((k >> 8) & 0xFF);
}
int TableIndex(const TPoleEntry& p) {
    return p.Reserved[0] | (p.Reserved[1] << 8);
}

// Pole entry k and k+1 are the two real poles of one split section.
bool JoinedRealPoles(const TDesign& d, int k) {
    if (k + 1 > d.PoleCount) return false;
    const TPoleEntry& a = d.Poles[k];
    const TPoleEntry& b = d.Poles[k + 1];
    return a.Kind == 0 && b.Kind == 0 && TableIndex(a) != 0 && TableIndex(a) == TableIndex(b);
}

// The free zero entry nearest to wp; first-order poles take single zeros only.
int NearestZero(const TDesign& d, long double wp, bool firstOrder) {
    int best = 0;
    long double bestDiff = std::numeric_limits<long double>::infinity();
    for (int j = 1; j <= d.ZeroCount; ++j) {
        const TZeroEntry& z = d.Zeros[j];
        if (!z.Free) continue;
        if (firstOrder && z.Kind == 1) continue;
        const long double diff = std::fabs(wp - static_cast<long double>(z.Wz));
        if (diff < bestDiff) {
            bestDiff = diff;
            best = j;
        }
    }
    return best;
}

} // namespace

void InitPairingLists(TDesign& d) {
    const Approximation& a = d.current();
    const ApproxResult& r = a.Result;

    d.Poles = {};
    d.Zeros = {};
    d.PoleCount = d.ZeroCount = 0;

    std::vector<int> pairs, splits;
    for (int k = 1; k <= r.PolePairs && k <= kTableEntries; ++k)
        (SplitSection(a.PoleTable[k]) ? splits : pairs).push_back(k);

    std::vector<long double> q;
    for (int k : pairs)
        q.push_back(a.PoleTable[k].Qp);
    std::vector<bool> taken(pairs.size(), false);
    int units = 0;
    for (int i = 0; i < (int)pairs.size(); ++i) {
        const int k = pairs[TakeLargest(q, taken)];
        TPoleEntry& p = d.Poles[++d.PoleCount];
        p.Free = 1;
        p.Kind = 1;
        p.Q = a.PoleTable[k].Qp;
        p.Wp = a.PoleTable[k].Wp;
        p.Sigma = a.PoleList[k].Re;
        p.Imag = a.PoleList[k].Im;
        SetTableIndex(p, k);
        ++units;
    }
    auto addReal = [&](long double sigma, int tableIndex) {
        if (d.PoleCount >= kMaxPoleEntries) return;
        TPoleEntry& p = d.Poles[++d.PoleCount];
        p.Free = 1;
        p.Kind = 0;
        p.Sigma = sigma;
        SetTableIndex(p, tableIndex);
    };
    if (r.HasRealPole) {
        addReal(r.RealPole, 0);
        ++units;
    }
    if (r.HasRealPole2) {
        addReal(r.RealPole2, 0);
        ++units;
    }
    for (int k : splits) {
        // Poles -B/2 -+ sqrt(B^2/4 - C); the one nearer the origin first. The product
        // form C / s1 keeps the far pole accurate when the two are far apart.
        const long double B = a.PoleTable[k].B, C = a.PoleTable[k].C;
        const long double root = std::sqrt(B * B / 4.0L - C);
        const long double far = B / 2.0L + root;
        addReal(C / far, k);
        addReal(far, k);
        ++units;
    }

    // Zero frequencies, as pairs or as two single zeros each.
    const int Z = std::min<int>(r.ProtoZeroPairs, kTableEntries);
    const int P = (int)pairs.size();
    std::vector<long double> wz;
    for (int k = 1; k <= Z; ++k)
        wz.push_back(a.ZeroList[k].Wz);
    std::vector<bool> zTaken(wz.size(), false);
    const bool asPairs = 2 * Z > P;
    for (int i = 0; i < Z; ++i) {
        const long double w = wz[TakeLargest(wz, zTaken)];
        for (int copy = 0; copy < (asPairs ? 1 : 2); ++copy) {
            if (d.ZeroCount >= kMaxZeroEntries) break;
            TZeroEntry& z = d.Zeros[++d.ZeroCount];
            z.Free = 1;
            z.Kind = asPairs ? 1 : 0;
            z.Wz = w;
        }
    }
    if (r.HasSingleZero && d.ZeroCount < kMaxZeroEntries) {
        TZeroEntry& z = d.Zeros[++d.ZeroCount];
        z.Free = 1;
        z.Kind = 0;
        z.Re = r.SingleZero;
        z.Wz = 0.0L;
    }

    for (int s = 1; s <= kMaxStages; ++s)
        ClearStage(d.Stages[s]);
    d.StageCount = static_cast<int16_t>(std::min(units, kMaxStages));
    d.PairingChanged = 1;
}

void JoinStage(TDesign& d, int stage, int pole1, int pole2, int zero1, int zero2) {
    BuildStage(d, stage, pole1, pole2, zero1, zero2);
    for (int p : {pole1, pole2})
        if (p > 0) d.Poles[p].Free = 0;
    for (int z : {zero1, zero2})
        if (z > 0) d.Zeros[z].Free = 0;
    d.PairingChanged = 1;
}

void SeparateStage(TDesign& d, int stage) {
    TStageCoeffs& s = d.Stages[stage];
    for (int p : {(int)s.Pole1, (int)s.Pole2})
        if (p > 0 && p <= d.PoleCount) d.Poles[p].Free = 1;
    for (int z : {(int)s.Zero1, (int)s.Zero2})
        if (z > 0 && z <= d.ZeroCount) d.Zeros[z].Free = 1;
    ClearStage(s);
    d.PairingChanged = 1;
}

bool PairingComplete(const TDesign& d) {
    for (int k = 1; k <= d.PoleCount; ++k)
        if (d.Poles[k].Free) return false;
    for (int k = 1; k <= d.ZeroCount; ++k)
        if (d.Zeros[k].Free) return false;
    return true;
}

AutoPairStatus AutoPair(TDesign& d) {
    const Approximation& a = d.current();
    int complexPairs = 0;
    for (int k = 1; k <= d.PoleCount; ++k)
        complexPairs += d.Poles[k].Kind == 1;
    const int Z = a.Result.ProtoZeroPairs;

    int stages = 0;
    int last = d.PoleCount;
    int specialStage = 0;
    if (Z > complexPairs && d.PoleCount >= 2 && d.ZeroCount >= 1 && d.Poles[last].Kind == 0 &&
        d.Poles[last - 1].Kind == 0) {
        // The split real-pole section of an odd bandstop filter takes the last zero:
        // (s^2 + wz^2) / ((s + s1)(s + s2)), wp = sqrt(s1 s2), Qp = wp / (s1 + s2).
        specialStage = last - 1;
        last -= 2;
    }

    // Pole units in entry order: a pair, a lone real pole, or the two poles of a split section.
    struct Unit {
        int pole1, pole2;
    };
    std::vector<Unit> units;
    for (int k = 1; k <= last; ++k) {
        if (d.Poles[k].Kind == 0 && JoinedRealPoles(d, k)) {
            units.push_back({k, k + 1});
            ++k;
        } else {
            units.push_back({k, 0});
        }
    }
    const int total = (int)units.size() + (specialStage ? 1 : 0);
    if (total > kMaxStages) {
        InitPairingLists(d);
        return AutoPairStatus::TooManyStages;
    }

    for (int s = 1; s <= kMaxStages; ++s)
        ClearStage(d.Stages[s]);
    if (specialStage) {
        const int z = d.ZeroCount;
        // Stage number PoleCount - 1 when the split section's poles are the last entries.
        const int number = std::min(specialStage, total);
        BuildStage(d, number, d.PoleCount - 1, d.PoleCount, z, 0);
        TStageCoeffs& st = d.Stages[number];
        st.StageType = st.Wz == st.Wp ? stSN : (st.Wz > st.Wp ? stSLPN : stSHPN);
        st.Name = StageShortName(st.StageType);
        d.Poles[d.PoleCount - 1].Free = d.Poles[d.PoleCount].Free = 0;
        d.Zeros[z].Free = 0;
        ++stages;
    }
    int number = 0;
    for (const Unit& u : units) {
        ++number;
        if (number == specialStage) ++number;
        const bool firstOrder = u.pole2 == 0 && d.Poles[u.pole1].Kind == 0;
        long double wp = d.Poles[u.pole1].Wp;
        if (u.pole2 > 0)
            wp = std::sqrt(static_cast<long double>(d.Poles[u.pole1].Sigma) * d.Poles[u.pole2].Sigma);
        const int z = NearestZero(d, wp, firstOrder);
        JoinStage(d, number, u.pole1, u.pole2, z, 0);
        ++stages;
    }
    d.StageCount = static_cast<int16_t>(stages);
    d.PairingChanged = 1;
    d.Modified = 1;

    if (!PairingComplete(d)) {
        InitPairingLists(d);
        return AutoPairStatus::ZeroLeftOver;
    }
    return AutoPairStatus::Ok;
}

} // namespace velmora
