// Modified nodal analysis of one stage.
//
// The input node 1 is driven by a 1 V source, so its voltage is known and its current
// equation is not written. The unknowns are the voltages of nodes 2..N and the output
// current of every op amp; the equations are Kirchhoff's current law at nodes 2..N
// (the op-amp output current enters the equation of its output node) and one equation
// per op amp:
//   ideal:        V+ - V- = 0
//   single pole:  (Vout + rOut I) / A(s) - (V+ - V-) = 0,  1/A(s) = (s + wt/A0) / wt
// (the amplifier's internal voltage A (V+ - V-) drives the output current I through
// rOut, so it equals Vout + rOut I)
// Writing the amplifier through 1/A keeps the ideal case as the exact limit 1/A = 0 and
// the matrix free of huge gains. The complex system is solved by Gaussian elimination
// with partial pivoting in long double.
#include "analysis/nodal.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace velmora {
namespace {

bool finitePositive(long double x) {
    return std::isfinite(x) && x > 0.0L;
}

// Solves A x = b in place (A is n x n, row-major); false when A is singular to working
// precision (a pivot below 1e-30 of the largest matrix entry).
bool SolveComplex(std::vector<Complex>& A, std::vector<Complex>& b, int n) {
    long double scale = 0.0L;
    for (const Complex& a : A)
        scale = std::max(scale, std::abs(a));
    if (!(scale > 0.0L) || !std::isfinite(scale)) return false;
    const long double tiny = 1.0e-30L * scale;
    const auto at = [&](int r, int c) -> Complex& { return A[static_cast<std::size_t>(r * n + c)]; };
    for (int k = 0; k < n; ++k) {
        int pivot = k;
        for (int r = k + 1; r < n; ++r)
            if (std::abs(at(r, k)) > std::abs(at(pivot, k))) pivot = r;
        if (!(std::abs(at(pivot, k)) > tiny)) return false;
        if (pivot != k) {
            for (int c = 0; c < n; ++c)
                std::swap(at(k, c), at(pivot, c));
            std::swap(b[static_cast<std::size_t>(k)], b[static_cast<std::size_t>(pivot)]);
        }
        for (int r = k + 1; r < n; ++r) {
            const Complex f = at(r, k) / at(k, k);
            if (f == Complex(0.0L)) continue;
            for (int c = k; c < n; ++c)
                at(r, c) -= f * at(k, c);
            b[static_cast<std::size_t>(r)] -= f * b[static_cast<std::size_t>(k)];
        }
    }
    for (int k = n - 1; k >= 0; --k) {
        Complex sum = b[static_cast<std::size_t>(k)];
        for (int c = k + 1; c < n; ++c)
            sum -= at(k, c) * b[static_cast<std::size_t>(c)];
        b[static_cast<std::size_t>(k)] = sum / at(k, k);
    }
    return true;
}

} // namespace

std::optional<NodalSolution> NodalSolve(const Topology& t, const ComponentValues<long double>& values,
                                        Complex s, const OpAmpModel& opamps, Complex load) {
    const int N = t.highestNode;
    if (N < 2) return std::nullopt;
    const int nodes = N - 1; // unknown voltages of nodes 2..N
    const int M = static_cast<int>(t.opamps.size());
    const int n = nodes + M;
    std::vector<Complex> A(static_cast<std::size_t>(n * n)), b(static_cast<std::size_t>(n));
    // Row and column of node k (k >= 2); -1 for ground and the driven input.
    const auto idx = [](int node) { return node >= 2 ? node - 2 : -1; };
    const auto at = [&](int r, int c) -> Complex& { return A[static_cast<std::size_t>(r * n + c)]; };
    // Adds the admittance-weighted voltage of `node` (known for the input) to row r.
    const auto addTerm = [&](int r, int node, Complex y) {
        if (node == 1)
            b[static_cast<std::size_t>(r)] -= y; // V1 = 1 moves to the right-hand side
        else if (node >= 2)
            at(r, idx(node)) += y;
    };

    // The admittance of every part, kept for the input current once the voltages are known.
    std::vector<Complex> admittance(t.parts.size());
    for (std::size_t i = 0; i < t.parts.size(); ++i) {
        const NetComponent& p = t.parts[i];
        Complex& y = admittance[i];
        if (p.kind == 'R') {
            if (p.number < 1 || p.number > kResistorSlots) return std::nullopt;
            const long double r = values.R[static_cast<std::size_t>(p.number)];
            if (!finitePositive(r)) return std::nullopt;
            y = 1.0L / r;
        } else {
            if (p.number < 1 || p.number > kCapacitorSlots) return std::nullopt;
            const long double c = values.C[static_cast<std::size_t>(p.number)];
            if (!finitePositive(c)) return std::nullopt;
            y = s * c;
        }
        // Current y (Va - Vb) leaves a and enters b.
        if (p.a >= 2) {
            addTerm(idx(p.a), p.a, y);
            addTerm(idx(p.a), p.b, -y);
        }
        if (p.b >= 2) {
            addTerm(idx(p.b), p.b, y);
            addTerm(idx(p.b), p.a, -y);
        }
    }

    at(idx(2), idx(2)) += load;

    Complex invGain = 0.0L; // 1/A(s)
    if (opamps.kind == OpAmpModel::kSinglePole) {
        const long double wt = 2.0L * std::numbers::pi_v<long double> * opamps.gbwHz;
        if (!finitePositive(wt)) return std::nullopt;
        invGain = (s + (opamps.a0 > 0.0L ? wt / opamps.a0 : 0.0L)) / wt;
    }
    for (int k = 0; k < M; ++k) {
        const NetOpAmp& a = t.opamps[static_cast<std::size_t>(k)];
        if (a.out < 2) return std::nullopt; // an output on ground or on the source
        const int row = nodes + k;
        // The output current (into the output node) is unknown `row`; it leaves the
        // node equation of the output as -I.
        at(idx(a.out), row) -= 1.0L;
        addTerm(row, a.out, invGain);
        at(row, row) += opamps.rOut * invGain;
        addTerm(row, a.plus, -1.0L);
        addTerm(row, a.minus, 1.0L);
    }
    if (!SolveComplex(A, b, n)) return std::nullopt;
    const auto voltage = [&](int node) -> Complex {
        return node == 1 ? Complex(1.0L) : node >= 2 ? b[static_cast<std::size_t>(idx(node))] : Complex(0.0L);
    };
    NodalSolution out{voltage(2), 0.0L};
    // The source's current is what the parts at node 1 carry away from it; op-amp inputs
    // draw none, and no op-amp output sits on the driven node.
    for (std::size_t i = 0; i < t.parts.size(); ++i) {
        const NetComponent& p = t.parts[i];
        if (p.a == 1) out.inputAdmittance += admittance[i] * (1.0L - voltage(p.b));
        if (p.b == 1) out.inputAdmittance += admittance[i] * (1.0L - voltage(p.a));
    }
    for (const Complex& z : {out.gain, out.inputAdmittance})
        if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) return std::nullopt;
    return out;
}

std::optional<Complex> NodalResponse(const Topology& t, const ComponentValues<long double>& values, Complex s,
                                     const OpAmpModel& opamps) {
    const auto solution = NodalSolve(t, values, s, opamps, 0.0L);
    if (!solution) return std::nullopt;
    return solution->gain;
}

std::optional<Complex> NodalResponse(std::string_view key, const ComponentValues<long double>& values,
                                     Complex s, const OpAmpModel& opamps, bool compensated) {
    const Topology* t = FindTopology(key, compensated);
    if (!t) return std::nullopt;
    return NodalResponse(*t, values, s, opamps);
}

} // namespace velmora
