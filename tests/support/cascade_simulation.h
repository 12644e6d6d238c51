// A second method for time responses: H(s) = K prod(s - z) / prod(s - p) realised as
// a cascade of first- and second-order sections in controllable canonical form and
// integrated with the classical fourth-order Runge-Kutta method. It shares nothing
// with the program's closed-form (residue) responses.
#pragma once

#include <cmath>
#include <complex>
#include <stdexcept>
#include <vector>

namespace velmora::test {

class CascadeSimulation {
  public:
    using Cx = std::complex<long double>;

    CascadeSimulation(const std::vector<Cx>& poles, const std::vector<Cx>& zeros, long double K) {
        std::vector<Quadratic> dens = Group(poles), nums = Group(zeros);
        for (const auto& d : dens)
            sections_.push_back(Section{d, Quadratic{0, 0, 0, 0}});
        // Quadratic numerators to second-order sections, a linear one to a first-order
        // section when there is one; every section stays proper.
        for (const auto& n : nums) {
            bool placed = false;
            for (auto& s : sections_) {
                if (s.num.degree == 0 && s.den.degree >= n.degree) {
                    s.num = n;
                    placed = true;
                    break;
                }
            }
            if (!placed) throw std::logic_error("cascade: cannot place a numerator");
        }
        for (auto& s : sections_)
            if (s.num.degree == 0) s.num = Quadratic{0, 1, 0, 0};
        sections_.front().num.c0 *= K;
        sections_.front().num.c1 *= K;
        sections_.front().num.c2 *= K;
        for (const auto& p : poles)
            fastest_ = std::max(fastest_, std::abs(p));
    }

    // y(t) at every time of `times` (ascending, from 0) for a unit step input, or for a
    // unit impulse input without the Dirac part of the output.
    std::vector<long double> Run(const std::vector<long double>& times, bool impulse) const {
        std::vector<long double> x(2 * sections_.size(), 0.0L);
        if (impulse) {
            // The impulse sets each section's state through B, weighted by the direct
            // feed-through of the sections before it.
            long double weight = 1;
            for (size_t i = 0; i < sections_.size(); ++i) {
                x[2 * i + (sections_[i].den.degree == 2 ? 1 : 0)] += weight;
                weight *= sections_[i].D();
            }
        }
        const long double u = impulse ? 0.0L : 1.0L;
        std::vector<long double> out;
        long double t = 0;
        // h |p| <= 0.01: the fourth-order error stays near 1e-8 of the response.
        const long double hMax = 0.01L / fastest_;
        Buffers b(x.size());
        for (long double target : times) {
            const long double span = target - t;
            if (span > 0) {
                const long double n = std::ceil(span / hMax), h = span / n;
                for (long double k = 0; k < n; ++k)
                    Step(x, u, h, b);
                t = target;
            }
            long double y = 0;
            Derivative(x, u, &y);
            out.push_back(y);
        }
        return out;
    }

  private:
    // c2 s^2 + c1 s + c0 with its degree (a first-order factor has c2 = 0).
    struct Quadratic {
        int degree;
        long double c0, c1, c2;
    };
    struct Section {
        Quadratic den, num;
        // Direct feed-through: the numerator's coefficient of the denominator's degree.
        long double D() const { return den.degree == 2 ? num.c2 : num.c1; }
    };

    static std::vector<Quadratic> Group(const std::vector<Cx>& roots) {
        std::vector<Quadratic> q;
        std::vector<long double> reals;
        for (const auto& r : roots) {
            const long double tiny = 1e-12L * std::max(std::abs(r), 1.0L);
            if (std::fabs(r.imag()) <= tiny)
                reals.push_back(r.real());
            else if (r.imag() > 0)
                q.push_back(Quadratic{2, std::norm(r), -2 * r.real(), 1});
        }
        size_t i = 0;
        for (; i + 1 < reals.size(); i += 2)
            q.push_back(Quadratic{2, reals[i] * reals[i + 1], -(reals[i] + reals[i + 1]), 1});
        if (i < reals.size()) q.push_back(Quadratic{1, -reals[i], 1, 0});
        return q;
    }

    // State derivative of the whole cascade; the output of each section drives the next.
    void Derivative(const std::vector<long double>& x, long double u, long double* y,
                    std::vector<long double>* dx = nullptr) const {
        long double in = u;
        for (size_t i = 0; i < sections_.size(); ++i) {
            const Section& s = sections_[i];
            const long double x1 = x[2 * i], x2 = x[2 * i + 1];
            long double out;
            if (s.den.degree == 2) {
                const long double a0 = s.den.c0, a1 = s.den.c1;
                if (dx) {
                    (*dx)[2 * i] = x2;
                    (*dx)[2 * i + 1] = -a0 * x1 - a1 * x2 + in;
                }
                out = (s.num.c0 - s.num.c2 * a0) * x1 + (s.num.c1 - s.num.c2 * a1) * x2 + s.num.c2 * in;
            } else {
                const long double a0 = s.den.c0;
                if (dx) {
                    (*dx)[2 * i] = -a0 * x1 + in;
                    (*dx)[2 * i + 1] = 0;
                }
                out = (s.num.c0 - s.num.c1 * a0) * x1 + s.num.c1 * in;
            }
            in = out;
        }
        if (y) *y = in;
    }

    struct Buffers {
        explicit Buffers(size_t n) : k1(n), k2(n), k3(n), k4(n), tmp(n) {}
        std::vector<long double> k1, k2, k3, k4, tmp;
    };

    void Step(std::vector<long double>& x, long double u, long double h, Buffers& b) const {
        const size_t n = x.size();
        auto& [k1, k2, k3, k4, tmp] = b;
        Derivative(x, u, nullptr, &k1);
        for (size_t i = 0; i < n; ++i)
            tmp[i] = x[i] + h / 2 * k1[i];
        Derivative(tmp, u, nullptr, &k2);
        for (size_t i = 0; i < n; ++i)
            tmp[i] = x[i] + h / 2 * k2[i];
        Derivative(tmp, u, nullptr, &k3);
        for (size_t i = 0; i < n; ++i)
            tmp[i] = x[i] + h * k3[i];
        Derivative(tmp, u, nullptr, &k4);
        for (size_t i = 0; i < n; ++i)
            x[i] += h / 6 * (k1[i] + 2 * k2[i] + 2 * k3[i] + k4[i]);
    }

    std::vector<Section> sections_;
    long double fastest_ = 1e-30L;
};

} // namespace velmora::test
