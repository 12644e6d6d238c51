#include "approx/frequency_transform.h"

#include <cmath>

#include "model/number_text.h"

namespace velmora {

namespace {

bool ForcedFirstOrder(const Specification& spec, const ApproxResult& r) {
    return spec.ForceOrder && r.Order == 1;
}

// A first-order Elliptic filter degenerates to the first-order Inverse Chebyshev one,
// whose result is then reused. Only valid while that result has the same order.
const Approximation* FirstOrderInverseChebyshev(const TDesign& d, int index, int prototypeOrder) {
    if (index != Elliptic) return nullptr;
    const Approximation& ic = d.Approx[InverseChebyshev];
    if (ic.Result.OrderTooHigh) return nullptr;
    return ic.Result.Order == prototypeOrder ? &ic : nullptr;
}

long double EvenOrderRippleGain(int index, int N, long double apbDb) {
    const bool rippleAtDc = (index == Chebyshev || index == Elliptic) && N % 2 == 0;
    return rippleAtDc ? std::pow(10.0L, -0.05L * apbDb) : 1.0L;
}

void TransformLowpass(TDesign& d, int index) {
    Approximation& a = d.Approx[index];
    ApproxResult& r = a.Result;
    const Specification& spec = d.Spec;
    const long double Omega = ScalingFrequency(spec, index);
    const int N = r.Order;

    if (isAllPole(index)) {
        r.RealPole = r.RealPoleNorm * Omega;
        for (int k = 1; k <= r.PolePairs; ++k) {
            PoleTableEntry& e = a.PoleTable[k];
            e.B = e.BNorm * Omega;
            e.C = e.CNorm * Omega * Omega;
            e.Wp = std::sqrt(e.C.value());
            a.PoleList[k].Re = a.PoleList[k].ReNorm * Omega;
            a.PoleList[k].Im = a.PoleList[k].ImNorm * Omega;
        }
        const AllPoleGain gain = AllPoleGainText(Omega, N, r.GainConstantNorm);
        r.GainConstantNorm = gain.mantissa;
        r.GainConstantText = gain.text;
        return;
    }

    // Inverse Chebyshev and Elliptic: the zeros scale with the poles; an odd order's
    // real pole sigma/(s + sigma) becomes sigma Omega/(s + sigma Omega).
    const Approximation* ic = ForcedFirstOrder(spec, r) ? FirstOrderInverseChebyshev(d, index, 1) : nullptr;
    if (r.HasRealPole) {
        r.RealPole = r.RealPoleNorm * Omega;
        r.GainConstant = r.GainConstantNorm * Omega;
        if (ic) {
            r.RealPole = ic->Result.RealPole;
            r.GainConstant = ic->Result.GainConstant;
        }
    }
    for (int k = 1; k <= r.PolePairs; ++k) {
        PoleTableEntry& e = a.PoleTable[k];
        e.B = e.BNorm * Omega;
        e.C = e.CNorm * Omega * Omega;
        e.Wp = std::sqrt(e.C.value());
        a.ZeroTable[k].Wz2 = a.ZeroTable[k].Wz2Norm * Omega * Omega;
        if (index == Elliptic) {
            a.PoleList[k].Re = a.PoleList[k].ReNorm * Omega;
            a.PoleList[k].Im = a.PoleList[k].ImNorm * Omega;
        } else {
            const long double re = e.B / 2.0L;
            a.PoleList[k].Re = re;
            a.PoleList[k].Im = std::sqrt(std::fmax(e.C - re * re, 0.0L)); // Qp > 0.5: complex pair
        }
        a.ZeroList[k].Wz = a.ZeroList[k].WzNorm * Omega;
    }
    r.GainConstantText = ScientificText(r.GainConstant, 5);
}

void TransformHighpass(TDesign& d, int index) {
    Approximation& a = d.Approx[index];
    ApproxResult& r = a.Result;
    const Specification& spec = d.Spec;
    const long double Omega = ScalingFrequency(spec, index);
    const int N = r.Order;

    // sigma/(s + sigma) -> s/(s + Omega/sigma): a zero at the origin appears.
    if (r.HasRealPole) {
        r.RealPole = Omega / r.RealPoleNorm;
        const Approximation* ic =
            ForcedFirstOrder(spec, r) ? FirstOrderInverseChebyshev(d, index, 1) : nullptr;
        if (ic) r.RealPole = ic->Result.RealPole;
        r.HasSingleZero = 1;
        r.SingleZero = 0.0L;
    }
    r.ProtoZeroPairs = r.PolePairs;
    // s^2 + B s + C -> (C/s^2)(s^2 + (B Omega/C) s + Omega^2/C): the poles are the
    // prototype's reciprocals scaled by Omega.
    for (int k = 1; k <= r.PolePairs; ++k) {
        PoleTableEntry& e = a.PoleTable[k];
        const long double B = e.BNorm;
        const long double C = e.CNorm;
        e.B = B * Omega / C;
        e.C = Omega * Omega / C;
        e.Wp = std::sqrt(e.C.value());
        a.PoleList[k].Re = a.PoleList[k].ReNorm * Omega / C;
        a.PoleList[k].Im = a.PoleList[k].ImNorm * Omega / C;
        if (isAllPole(index)) {
            a.ZeroTable[k].Wz2 = 0.0L; // double zero at the origin
            a.ZeroList[k].Wz = 0.0L;
        } else {
            a.ZeroTable[k].Wz2 = Omega * Omega / a.ZeroTable[k].Wz2Norm;
            a.ZeroList[k].Wz = std::sqrt(a.ZeroTable[k].Wz2.value());
        }
    }
    // The gain at high frequencies equals the prototype's gain at w = 0.
    r.GainConstant = EvenOrderRippleGain(index, N, spec.Apb);
    r.GainConstantText.clear();
}

// Brings the prototype's passband edge to 1 rad/s (Inverse Chebyshev has it at 1/s,
// Elliptic at sqrt(k) = 1/sqrt(s)); the normalised fields are overwritten.
void NormalisePassbandEdge(TDesign& d, int index) {
    Approximation& a = d.Approx[index];
    ApproxResult& r = a.Result;
    const Specification& spec = d.Spec;
    const long double s = spec.Selectivity;
    const int N = r.Order;
    if (index == InverseChebyshev) {
        r.RealPoleNorm = r.RealPoleNorm * s;
        if (N % 2 == 1) r.GainConstant = r.GainConstant * s * spec.Bpb;
        for (int k = 1; k <= r.PolePairs; ++k) {
            a.PoleTable[k].BNorm = a.PoleTable[k].BNorm * s;
            a.PoleTable[k].CNorm = a.PoleTable[k].CNorm * s * s;
            a.ZeroTable[k].Wz2Norm = a.ZeroTable[k].Wz2Norm * s * s;
        }
    } else if (index == Elliptic) {
        const long double scale = a.ProtoScale;
        r.RealPoleNorm = r.RealPoleNorm * scale;
        if (N % 2 == 1) r.GainConstant = r.GainConstant * scale * spec.Bpb;
        if (r.PolePairs == 0) {
            if (const Approximation* ic = FirstOrderInverseChebyshev(d, index, 2)) {
                r.RealPoleNorm = ic->Result.RealPoleNorm;
                r.GainConstant = ic->Result.GainConstant;
            }
        }
        for (int k = 1; k <= r.PolePairs; ++k) {
            a.PoleTable[k].BNorm = a.PoleTable[k].BNorm * scale;
            a.PoleTable[k].CNorm = a.PoleTable[k].CNorm * s;
            a.ZeroTable[k].Wz2Norm = a.ZeroTable[k].Wz2Norm * s;
        }
    }
}

// s -> 1/s on the normalised prototype: the bandstop is the bandpass of the inverse.
void InvertPrototype(Approximation& a) {
    ApproxResult& r = a.Result;
    if (r.RealPoleNorm != 0.0L) r.RealPoleNorm = 1.0L / r.RealPoleNorm;
    for (int k = 1; k <= r.PolePairs; ++k) {
        PoleTableEntry& e = a.PoleTable[k];
        const long double C = e.CNorm;
        e.BNorm = e.BNorm / C;
        e.CNorm = 1.0L / C;
        if (a.ZeroTable[k].Wz2Norm != 0.0L) a.ZeroTable[k].Wz2Norm = 1.0L / a.ZeroTable[k].Wz2Norm;
    }
}

// The real pole sigma/(s + sigma) becomes the section
// sigma Bpb s / (s^2 + sigma Bpb s + w0^2), which has real poles when its Qp < 0.5.
void RealPoleSection(TDesign& d, int index, bool bandstop) {
    Approximation& a = d.Approx[index];
    ApproxResult& r = a.Result;
    const Specification& spec = d.Spec;
    const int N = r.Order;
    const Approximation* ic = r.PolePairs == 0 ? FirstOrderInverseChebyshev(d, index, 2) : nullptr;
    if (ic) {
        a.PoleTable[1] = ic->PoleTable[1];
        a.ZeroTable[1] = ic->ZeroTable[1];
        if (!bandstop) r.HasSingleZero = 1;
    } else {
        const long double w0 = spec.w0;
        PoleTableEntry& e = a.PoleTable[N];
        e.B = spec.Bpb * r.RealPoleNorm;
        e.C = w0 * w0;
        e.Wp = w0;
        e.Qp = e.Wp / e.B;
        if (bandstop) {
            a.ZeroTable[N].Wz2 = w0 * w0;
        } else {
            a.ZeroTable[N].Wz2 = 0.0L;
            r.HasSingleZero = 1;
        }
    }
    r.HasRealPole = 0;
    r.SingleZero = 0.0L;
}

// Geometric-symmetry split: the pair s^2 + B s + C becomes two sections with the same
// Q at w1 and w2 = w0^2 / w1, written to entries k and 2P - k + 1.
void SplitPair(TDesign& d, int index, int k, bool bandstop) {
    Approximation& a = d.Approx[index];
    const ApproxResult& r = a.Result;
    const Specification& spec = d.Spec;
    const int P = r.PolePairs;
    const long double B = a.PoleTable[k].BNorm;
    const long double C = a.PoleTable[k].CNorm;
    const long double Bpb = spec.Bpb;
    const long double w0 = spec.w0;
    const long double w02 = w0 * w0;

    const long double D = C * Bpb * Bpb + 4.0L * w02;
    const long double E = (B * Bpb * w0) * (B * Bpb * w0);
    const long double G = D / 2.0L + std::sqrt(std::fmax(0.0L, (D / 2.0L) * (D / 2.0L) - E));
    const long double w1 = std::sqrt(G) / 2.0L + std::sqrt(std::fmax(0.0L, G / 4.0L - w02));
    const long double w2 = w02 / w1;
    const long double Q = (w1 + w2) / (B * Bpb);

    const int upper = k;
    const int lower = 2 * P - k + 1;
    auto setSection = [&](int entry, long double wp) {
        PoleTableEntry& e = a.PoleTable[entry];
        e.B = wp / Q;
        e.C = wp * wp;
        e.Wp = wp;
        e.Qp = Q;
    };
    setSection(upper, w1);
    setSection(lower, w2);

    if (isAllPole(index)) {
        a.ZeroTable[upper].Wz2 = bandstop ? w02 : 0.0L;
        a.ZeroTable[lower].Wz2 = bandstop ? w02 : 0.0L;
    } else {
        // The zero pair s^2 + wz^2 becomes s^4 + (2 w0^2 + wz^2 Bpb^2) s^2 + w0^4: zeros at
        // w0^2 (alpha -+ beta); (alpha - beta)(alpha + beta) = 1 gives the lower one
        // without cancellation. The lower zero goes with the upper pole.
        const long double alpha = 1.0L + a.ZeroTable[k].Wz2Norm * Bpb * Bpb / (2.0L * w02);
        const long double beta = std::sqrt(alpha * alpha - 1.0L);
        a.ZeroTable[upper].Wz2 = w02 / (alpha + beta);
        a.ZeroTable[lower].Wz2 = w02 * (alpha + beta);
    }
}

void TransformBand(TDesign& d, int index, bool bandstop) {
    Approximation& a = d.Approx[index];
    ApproxResult& r = a.Result;
    const Specification& spec = d.Spec;
    const int N = r.Order;
    const int P = r.PolePairs;

    a.ProtoScale = std::sqrt(spec.Selectivity.value());
    NormalisePassbandEdge(d, index);
    if (bandstop) InvertPrototype(a);
    if (N % 2 == 1) RealPoleSection(d, index, bandstop);
    for (int k = 1; k <= P; ++k)
        SplitPair(d, index, k, bandstop);

    for (int entry = 1; entry <= N; ++entry) {
        PoleTableEntry& e = a.PoleTable[entry];
        const long double re = e.B / 2.0L;
        a.PoleList[entry].Re = re;
        a.PoleList[entry].Im = std::sqrt(std::fabs(e.C - re * re));
        a.ZeroList[entry].Wz = std::sqrt(a.ZeroTable[entry].Wz2.value());
    }
    if (bandstop) {
        r.ProtoZeroPairs = static_cast<int16_t>(N);
        r.GainConstant = EvenOrderRippleGain(index, N, spec.Apb);
    } else {
        r.ProtoZeroPairs = static_cast<int16_t>(isAllPole(index) ? P : 2 * P);
    }
    if (isAllPole(index) && !bandstop) {
        r.GainConstantNorm = r.GainConstant;
        const AllPoleGain gain = AllPoleGainText(spec.Bpb, N, r.GainConstantNorm);
        r.GainConstantNorm = gain.mantissa;
        r.GainConstantText = gain.text;
    } else {
        r.GainConstantText = ScientificText(r.GainConstant, 5);
    }
    r.PolePairs = static_cast<int16_t>(N);
    r.Order = static_cast<int16_t>(2 * N);
}

} // namespace

long double ScalingFrequency(const Specification& spec, int index) {
    switch (index) {
    case InverseChebyshev:
        return spec.wsb;
    case Elliptic:
        return std::sqrt(spec.wpb * spec.wsb);
    default:
        return spec.wpb;
    }
}

void TransformApproximation(TDesign& d, int index) {
    ApproxResult& r = d.Approx[index].Result;
    if (r.OrderTooHigh) return;
    r.GainConstant = r.GainConstantNorm;
    switch (d.Spec.FilterType) {
    case Lowpass:
        TransformLowpass(d, index);
        break;
    case Highpass:
        TransformHighpass(d, index);
        break;
    case Bandpass:
        TransformBand(d, index, false);
        break;
    case Bandstop:
        TransformBand(d, index, true);
        break;
    default:
        break; // user-defined filters are built from their sections
    }
}

AllPoleGain AllPoleGainText(long double x, int N, long double K) {
    AllPoleGain g;
    int e = 0;
    while (x > 1.0L) {
        x *= 0.1L;
        ++e;
    }
    long double m = K * std::pow(10.0L, N * std::log10(x));
    e *= N;
    if (std::isfinite(m) && m > 0.0L) {
        while (m >= 10.0L) {
            m *= 0.1L;
            ++e;
        }
        while (m < 1.0L) {
            m *= 10.0L;
            --e;
        }
    } else {
        m = 0.0L;
        e = 0;
    }
    g.mantissa = m;
    g.exponent = e;
    g.text = FixedText(m, 5, 7) + (e >= 0 ? " E+" : " E") + std::to_string(e);
    return g;
}

} // namespace velmora
