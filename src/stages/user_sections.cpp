#include "stages/user_sections.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "approx/approximation.h"
#include "stages/gains.h"
#include "stages/stage_types.h"

namespace velmora {
namespace {

bool Positive(long double x) {
    return x > 0.0L && std::isfinite(x);
}

// A value a Real48 holds without saturating or flushing to zero.
bool Storable(long double x) {
    return std::isfinite(x) && x >= Real48::smallest() && x <= Real48::largest();
}

struct SectionTotals {
    int order = 0;
    int firstOrder = 0;
    int sections = 0;
    long double gain = 1.0L; // product of the gain figures
};

SectionTotals TotalsOf(const TDesign& d) {
    SectionTotals t;
    const int n = std::clamp<int>(d.StageCount, 0, kMaxStages);
    for (int i = 1; i <= n; ++i) {
        const TStageCoeffs& s = d.Stages[i];
        const bool first = isFirstOrder(s.StageType);
        t.order += first ? 1 : 2;
        t.firstOrder += first ? 1 : 0;
        ++t.sections;
        t.gain *= static_cast<long double>(s.To) * GainPresentationFactor(s);
    }
    return t;
}

// The upper pole -re + j im of s^2 + (wp/Q) s + wp^2 for Q > 0.5.
long double ImaginaryPart(long double wp, long double re) {
    const long double im2 = wp * wp - re * re;
    return im2 > 0.0L ? std::sqrt(im2) : 0.0L;
}

} // namespace

UserAddStatus CheckUserCapacity(const TDesign& d, int order) {
    const SectionTotals t = TotalsOf(d);
    const bool first = order == 1;
    if (t.order + (first ? 1 : 2) > kMaxOrder) return UserAddStatus::OrderExceeded;
    if (first && t.firstOrder >= kMaxUserFirstOrderSections) return UserAddStatus::TooManyFirstOrder;
    if (t.sections >= kMaxStages) return UserAddStatus::TooManySections;
    return UserAddStatus::Ok;
}

UserAddStatus CheckUserSection(const TDesign& d, const UserSection& u) {
    if (const UserAddStatus room = CheckUserCapacity(d, u.Order); room != UserAddStatus::Ok) return room;
    const SectionTotals t = TotalsOf(d);
    const bool first = u.Order == 1;

    const bool bandstop = !first && u.Kind == UserSectionKind::Bandstop;
    const bool qMode = !first && u.Mode == UserEntryMode::QWpWz;
    if (first) {
        if (!Positive(u.P)) return UserAddStatus::NotPositive;
    } else if (qMode) {
        if (!Positive(u.Q) || !Positive(u.Wp)) return UserAddStatus::NotPositive;
    } else {
        if (!Positive(u.Re) || !Positive(u.Im)) return UserAddStatus::NotPositive;
    }
    if (bandstop && !Positive(u.Wz)) return UserAddStatus::NotPositive;
    if (!Positive(u.To)) return UserAddStatus::NotPositive;
    if (qMode && !(u.Q > 0.5L)) return UserAddStatus::QTooLow;

    // The limits of a specified design. A pole entered by its position has the Q
    // wp / (2 re); its frequency is the pole's distance from the origin.
    const long double wp = first ? u.P : qMode ? u.Wp : std::hypot(u.Re, u.Im);
    const long double B = first ? u.P : qMode ? u.Wp / u.Q : 2.0L * u.Re;
    if (!first && !(wp / B <= kMaxUsableQp)) return UserAddStatus::QTooHigh;
    if (!(wp <= kMaxFrequencyRad) || (bandstop && !(u.Wz <= kMaxFrequencyRad)))
        return UserAddStatus::FrequencyTooHigh;

    // Every coefficient the stage and the tables keep must be a storable real: p, or
    // wp^2 and wp/Q, and wz^2.
    if (first) {
        if (!Storable(u.P)) return UserAddStatus::OutOfRange;
    } else {
        if (!Storable(wp * wp) || !Storable(B) || !Storable(wp / B)) return UserAddStatus::OutOfRange;
        if (bandstop && !Storable(u.Wz * u.Wz)) return UserAddStatus::OutOfRange;
    }
    if (!(u.To >= kMinOverallGain && u.To <= kMaxOverallGain)) return UserAddStatus::SectionGainOutOfRange;
    const long double gain = t.gain * u.To;
    if (!(gain >= kMinOverallGain && gain <= kMaxOverallGain)) return UserAddStatus::GainOutOfRange;
    return UserAddStatus::Ok;
}

TStageCoeffs UserStageOf(const UserSection& u) {
    TStageCoeffs s;
    if (u.Order == 1) {
        s.StageType = u.Kind == UserSectionKind::Highpass ? stFHP : stFLP;
        s.Sigma = u.P;
    } else {
        long double wp = 0, q = 0, re = 0;
        if (u.Mode == UserEntryMode::QWpWz) {
            wp = u.Wp;
            q = u.Q;
            re = wp / (2.0L * q);
        } else {
            re = u.Re;
            wp = std::hypot(u.Re, u.Im);
            q = wp / (2.0L * re);
        }
        s.Wp = wp;
        s.Qp = q;
        s.Sigma = re;
        switch (u.Kind) {
        case UserSectionKind::Lowpass:
            s.StageType = stSLP;
            break;
        case UserSectionKind::Highpass:
            s.StageType = stSHP;
            break;
        case UserSectionKind::Bandpass:
            s.StageType = stSBP;
            break;
        case UserSectionKind::Bandstop:
            s.Wz = u.Wz;
            // Classed on the stored values, as every notch stage is.
            s.StageType = s.Wz == s.Wp ? stSN : s.Wz < s.Wp ? stSHPN : stSLPN;
            break;
        }
    }
    s.Name = StageShortName(s.StageType);
    // A lowpass notch's To is its high-frequency gain; the entered figure is its DC
    // gain To wz^2/wp^2, so the stage keeps To (wp/wz)^2.
    long double To = u.To;
    if (s.StageType == stSLPN) {
        const long double ratio = static_cast<long double>(s.Wp) / static_cast<long double>(s.Wz);
        To *= ratio * ratio;
    }
    s.To = To;
    s.K = static_cast<long double>(s.To) * NumeratorScale(s);
    return s;
}

UserAddStatus AddUserSection(TDesign& d, const UserSection& section, const TUserBlock& texts) {
    const UserAddStatus status = CheckUserSection(d, section);
    if (status != UserAddStatus::Ok) return status;
    for (const std::string& t : texts.Texts)
        if (t.size() > kUserTextLength) return UserAddStatus::TextTooLong;
    const int n = d.StageCount + 1;
    d.Stages[n] = UserStageOf(section);
    d.UserBlocks[n] = texts;
    d.StageCount = static_cast<int16_t>(n);
    RebuildUserFilter(d);
    return UserAddStatus::Ok;
}

void DeleteUserSection(TDesign& d, int index) {
    const int n = d.StageCount;
    if (index < 1 || index > n) return;
    for (int i = index; i < n; ++i) {
        d.Stages[i] = std::move(d.Stages[i + 1]);
        d.UserBlocks[i] = std::move(d.UserBlocks[i + 1]);
    }
    d.Stages[n] = TStageCoeffs{};
    d.UserBlocks[n] = TUserBlock{};
    d.StageCount = static_cast<int16_t>(n - 1);
    RebuildUserFilter(d);
}

void SwapUserSections(TDesign& d, int a, int b) {
    const int n = d.StageCount;
    if (a == b || a < 1 || b < 1 || a > n || b > n) return;
    std::swap(d.Stages[a], d.Stages[b]);
    std::swap(d.UserBlocks[a], d.UserBlocks[b]);
    RebuildUserFilter(d);
}

bool UserStagesValid(const TDesign& d) {
    if (d.StageCount < 0 || d.StageCount > kMaxStages) return false;
    int order = 0, firstOrder = 0;
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCoeffs& s = d.Stages[i];
        if (s.StageType >= kStageTypeCount) return false;
        if (!Positive(s.To)) return false;
        if (isFirstOrder(s.StageType)) {
            if (!Positive(s.Sigma)) return false;
            ++firstOrder;
            order += 1;
            continue;
        }
        order += 2;
        if (!Positive(s.Wp) || !(s.Qp > 0.5L) || !Positive(s.Sigma)) return false;
        if (!Storable(s.Wp * s.Wp)) return false;
        if (isNotch(s.StageType) && (!Positive(s.Wz) || !Storable(s.Wz * s.Wz))) return false;
    }
    return order <= kMaxOrder && firstOrder <= kMaxUserFirstOrderSections;
}

void RebuildUserFilter(TDesign& d) {
    Approximation& a = d.Approx[0];
    ClearApproxResult(a);
    ApproxResult& r = a.Result;
    Specification& spec = d.Spec;
    spec.UserPoleSlotFree.fill(1);
    spec.UserZeroSlotFree.fill(1);

    long double gain = 1.0L, maxQp = 0.0L;
    int poleSlot = 0, zeroSlot = 0, realPoles = 0;
    const int n = std::clamp<int>(d.StageCount, 0, kMaxStages);
    for (int i = 1; i <= n; ++i) {
        TStageCoeffs& s = d.Stages[i];
        s.Pole1 = s.Pole2 = s.Zero1 = s.Zero2 = 0;
        s.K = static_cast<long double>(s.To) * NumeratorScale(s);
        gain *= static_cast<long double>(s.To) * GainPresentationFactor(s);

        if (isFirstOrder(s.StageType)) {
            r.Order += 1;
            ++realPoles;
            if (realPoles == 1) {
                r.HasRealPole = 1;
                r.RealPole = s.Sigma;
            } else if (realPoles == 2) {
                r.HasRealPole2 = 1;
                r.RealPole2 = s.Sigma;
            }
            s.Pole1 = static_cast<int16_t>(realPoles);
            if (s.StageType == stFHP) {
                r.SingleZeros += 1;
                r.HasSingleZero = 1;
            }
            continue;
        }

        if (poleSlot >= kTableEntries) continue; // UserStagesValid keeps a design within the tables
        ++poleSlot;
        r.Order += 2;
        r.PolePairs += 1;
        const long double wp = s.Wp, qp = s.Qp, re = s.Sigma;
        PoleTableEntry& pt = a.PoleTable[poleSlot];
        pt.B = wp / qp;
        pt.C = wp * wp;
        pt.Wp = wp;
        pt.Qp = qp;
        a.PoleList[poleSlot].Re = re;
        a.PoleList[poleSlot].Im = ImaginaryPart(wp, re);
        spec.UserPoleSlotFree[poleSlot] = 0;
        s.Pole1 = static_cast<int16_t>(poleSlot);
        maxQp = std::max(maxQp, qp);

        const bool takesZeroSlot = s.StageType == stSHP || isNotch(s.StageType);
        if (s.StageType == stSBP) r.SingleZeros += 1;
        if (!takesZeroSlot || zeroSlot >= kTableEntries) continue;
        ++zeroSlot;
        const long double wz = s.StageType == stSHP ? 0.0L : static_cast<long double>(s.Wz);
        a.ZeroTable[zeroSlot].Wz2 = wz * wz;
        a.ZeroList[zeroSlot].Wz = wz;
        spec.UserZeroSlotFree[zeroSlot] = 0;
        s.Zero1 = static_cast<int16_t>(zeroSlot);
        r.ProtoZeroPairs += 1;
        if (s.StageType == stSHP)
            r.SingleZeros += 2;
        else
            r.ZeroPairs += 1;
    }
    r.MaxQp = maxQp;
    r.GainConstant = gain;
    spec.UserGainConstant = gain;
    spec.OverallGain = gain;
}

bool RestoreUserFilter(TDesign& d) {
    if (!UserStagesValid(d)) return false;
    RebuildUserFilter(d);
    return true;
}

UserSectionKind UserSectionKindOf(const TStageCoeffs& s) {
    switch (s.StageType) {
    case stFHP:
    case stSHP:
        return UserSectionKind::Highpass;
    case stSBP:
        return UserSectionKind::Bandpass;
    case stSLPN:
    case stSHPN:
    case stSN:
        return UserSectionKind::Bandstop;
    default:
        return UserSectionKind::Lowpass;
    }
}

int UserSectionOrderOf(const TStageCoeffs& s) {
    return isFirstOrder(s.StageType) ? 1 : 2;
}

} // namespace velmora
