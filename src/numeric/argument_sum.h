// The sum of the arguments of complex factors whose arguments lie in [0, pi], with one
// arctangent for the whole sum instead of one per factor. The ideal and the final
// frequency responses take their phase lag from it.
#pragma once

#include <cmath>

namespace velmora {

// The factors are multiplied together and the quarter turns the product goes through are
// counted from the quadrant it is in after each factor (a factor turns it by at most two
// quadrants, so the count is unambiguous). The final argument is the product's
// arctangent moved by whole turns into the quadrant counted. The product of twenty
// factors of size w^2 stays far inside the extended exponent range.
class ArgumentSum {
  public:
    void Add(long double re, long double im) {
        const long double r = re_ * re - im_ * im;
        im_ = re_ * im + im_ * re;
        re_ = r;
        const int q = Quadrant();
        int advance = (q - quadrant_) & 3;
        if (advance == 3) advance = -1; // a product on a quadrant boundary read one way, then the other
        quarterTurns_ += advance;
        quadrant_ = q;
    }
    long double Radians() const {
        // The arctangent in [0, 2 pi), then the whole turns counted; at a quadrant
        // boundary the arctangent may fall just across from the quadrant counted.
        long double base = std::atan2(im_, re_);
        if (base < 0) base += 2 * kPi;
        const int quadrant = quarterTurns_ & 3;
        if (quadrant == 0 && base > 1.5L * kPi) base -= 2 * kPi;
        if (quadrant == 3 && base < 0.5L * kPi) base += 2 * kPi;
        const int turns = (quarterTurns_ - quadrant) / 4;
        return base + 2 * kPi * turns;
    }

  private:
    static constexpr long double kPi = 3.14159265358979323846264338327950288L;
    long double re_ = 1, im_ = 0;
    int quadrant_ = 0, quarterTurns_ = 0;
    int Quadrant() const {
        if (im_ >= 0) return re_ > 0 ? 0 : 1;
        return re_ < 0 ? 2 : 3;
    }
};

} // namespace velmora
