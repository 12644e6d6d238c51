#include "model/sure_rounding.h"

#include "model/column_dispatch.h"

namespace velmora {

namespace {

// RoundDoubleTo40Bits on the bit pattern of a positive double, written without
// branches. Adding half a unit of the kept part less one, and one more where the kept
// part is odd, carries into the kept part exactly when the dropped part exceeds a half
// or is a half with the kept part odd (ties to even); the dropped bits are then cleared.
// Two additions and a mask instead of a comparison and a selection: this runs twice for
// every value of a column.
inline uint64_t RoundBitsTo40(uint64_t b) {
    constexpr uint64_t kLowMask = (uint64_t{1} << 13) - 1;
    constexpr uint64_t kHalfLessOne = (uint64_t{1} << 12) - 1;
    const uint64_t odd = (b >> 13) & 1;
    return (b + kHalfLessOne + odd) & ~kLowMask;
}

inline __attribute__((always_inline)) void SureReal48ColumnBody(const double* __restrict v,
                                                                 const double* __restrict err,
                                                                 double* __restrict out, double* __restrict sure,
                                                                 int n) {
    constexpr double kSmallest = 0x1p-128;
    constexpr double kLargest = 0x1.fffffffffep+126;
    for (int i = 0; i < n; ++i) {
        const double x = v[i], e = err[i];
        const double a = std::fabs(x);
        const double widen = e + a * 0x1p-52;
        const double lo = a - widen, hi = a + widen;
        // Also false for a NaN value or bound, and for a negative bound.
        const bool inRange = (e >= 0.0) & (lo >= kSmallest) & (hi <= kLargest);
        // The ends are rounded as bit patterns whatever they hold (integer arithmetic,
        // which wraps); the result is used only where they are in range.
        const uint64_t rl = RoundBitsTo40(std::bit_cast<uint64_t>(lo));
        const uint64_t rh = RoundBitsTo40(std::bit_cast<uint64_t>(hi));
        const bool ok = inRange & (rl == rh);
        // The value's sign put on the rounded magnitude (a NaN or an out-of-range value
        // stores 0 below, so its sign does not matter).
        const uint64_t sign = std::bit_cast<uint64_t>(x) & (uint64_t{1} << 63);
        const double r = std::bit_cast<double>(rl | sign);
        out[i] = ok ? r : 0.0;
        sure[i] = ok ? 1.0 : 0.0;
    }
}

VELMORA_COLUMN_CLONES void SureReal48ColumnCommon(const double* v, const double* err, double* out, double* sure,
                                                  int n) {
    SureReal48ColumnBody(v, err, out, sure, n);
}
VELMORA_COLUMN_WIDE void SureReal48ColumnWide(const double* v, const double* err, double* out, double* sure,
                                              int n) {
    SureReal48ColumnBody(v, err, out, sure, n);
}

} // namespace

void SureReal48Column(const double* v, const double* err, double* out, double* sure, int n) {
    HasWideVectors() ? SureReal48ColumnWide(v, err, out, sure, n) : SureReal48ColumnCommon(v, err, out, sure, n);
}

} // namespace velmora
