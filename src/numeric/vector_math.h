// Logarithms, exponentials and arctangents of whole columns at once.
//
// The fast response columns take one logarithm and one arctangent per point. Taken one
// at a time they cost more than everything else the point needs; the C library's vector
// versions (x86-64 glibc's libmvec, eight points per call with 512-bit vectors, four
// with 256-bit ones, two with 128-bit ones) take a few nanoseconds a point. They are
// less accurate than the scalar functions: libmvec promises at most 4 units in the last
// place, and every caller counts that many (kBatchUlps) in its error bounds. Elsewhere
// (another C library, another processor) the scalar functions are called in a loop; they
// are within that bound too.
#pragma once

namespace velmora {

// The error of every result, in units of the last place of the result (2^-52 relative
// at most for a double).
inline constexpr double kBatchUlps = 4.0;

// out[i] = ln x[i] for i < n. x and out may be the same array.
void BatchLog(const double* x, double* out, int n);

// out[i] = atan2(y[i], x[i]) for i < n, in (-pi, pi]. out may be y or x.
void BatchAtan2(const double* y, const double* x, double* out, int n);

// out[i] = e^x[i] for i < n. x and out may be the same array.
void BatchExp(const double* x, double* out, int n);

// out[i] = sqrt(x[i]) for i < n, correctly rounded (the processor's square root, the
// same value as std::sqrt); x and out may be the same array. A loop of std::sqrt does not
// vectorise where the library must set errno for negative arguments.
void BatchSqrt(const double* x, double* out, int n);

} // namespace velmora
