#include "numeric/vector_math.h"

#include <cmath>

#include "numeric/dispatch.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#if defined(VELMORA_HAVE_LIBMVEC) && defined(__x86_64__)
#define VELMORA_LIBMVEC 1
// The vector variants of log, exp and atan2 in glibc's vector ABI: 'e' eight doubles in a
// 512-bit register (AVX-512), 'd' four in a 256-bit one (AVX2), 'b' two in a 128-bit one
// (any x86-64). The wide ones are declared for the code of their instruction set, where
// their vector arguments are passed in registers as the library expects (and as clang
// requires of such a call).
extern "C" __attribute__((target("avx512f"))) __m512d _ZGVeN8v_log(__m512d);
extern "C" __attribute__((target("avx512f"))) __m512d _ZGVeN8vv_atan2(__m512d, __m512d);
extern "C" __attribute__((target("avx512f"))) __m512d _ZGVeN8v_exp(__m512d);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4v_log(__m256d);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4vv_atan2(__m256d, __m256d);
extern "C" __attribute__((target("avx2"))) __m256d _ZGVdN4v_exp(__m256d);
extern "C" __m128d _ZGVbN2v_log(__m128d);
extern "C" __m128d _ZGVbN2vv_atan2(__m128d, __m128d);
extern "C" __m128d _ZGVbN2v_exp(__m128d);
#endif

namespace velmora {

#if defined(__x86_64__)

__attribute__((target("avx"))) static void SqrtAvx(const double* x, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4)
        _mm256_storeu_pd(out + i, _mm256_sqrt_pd(_mm256_loadu_pd(x + i)));
    for (; i < n; ++i)
        out[i] = _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x[i])));
}

void BatchSqrt(const double* x, double* out, int n) {
    if (ActiveVectorLevel() != VectorLevel::Baseline) {
        SqrtAvx(x, out, n);
        return;
    }
    int i = 0;
    for (; i + 2 <= n; i += 2)
        _mm_storeu_pd(out + i, _mm_sqrt_pd(_mm_loadu_pd(x + i)));
    for (; i < n; ++i)
        out[i] = _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x[i])));
}

#else

void BatchSqrt(const double* x, double* out, int n) {
    for (int i = 0; i < n; ++i)
        out[i] = std::sqrt(x[i]);
}

#endif

#ifdef VELMORA_LIBMVEC
namespace {

// The library's vector variants for the level the loops use (numeric/dispatch.h), so
// that forcing a lower level runs its variant too.
bool HasAvx2() {
    return ActiveVectorLevel() >= VectorLevel::V3;
}

bool HasAvx512() {
    return ActiveVectorLevel() == VectorLevel::V4;
}

__attribute__((target("avx512f"))) inline void UnaryAvx512(__m512d (*f)(__m512d), const double* x,
                                                           double* out, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8)
        _mm512_storeu_pd(out + i, f(_mm512_loadu_pd(x + i)));
    if (i < n) {
        const __mmask8 m = static_cast<__mmask8>((1u << (n - i)) - 1u);
        const __m512d r = f(_mm512_mask_loadu_pd(_mm512_set1_pd(1.0), m, x + i));
        _mm512_mask_storeu_pd(out + i, m, r);
    }
}

__attribute__((target("avx512f"))) void LogAvx512(const double* x, double* out, int n) {
    UnaryAvx512(_ZGVeN8v_log, x, out, n);
}

__attribute__((target("avx512f"))) void ExpAvx512(const double* x, double* out, int n) {
    UnaryAvx512(_ZGVeN8v_exp, x, out, n);
}

__attribute__((target("avx512f"))) void Atan2Avx512(const double* y, const double* x, double* out, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8)
        _mm512_storeu_pd(out + i, _ZGVeN8vv_atan2(_mm512_loadu_pd(y + i), _mm512_loadu_pd(x + i)));
    if (i < n) {
        const __mmask8 m = static_cast<__mmask8>((1u << (n - i)) - 1u);
        const __m512d one = _mm512_set1_pd(1.0);
        const __m512d r =
            _ZGVeN8vv_atan2(_mm512_mask_loadu_pd(one, m, y + i), _mm512_mask_loadu_pd(one, m, x + i));
        _mm512_mask_storeu_pd(out + i, m, r);
    }
}

// The points that do not fill a vector are copied into one padded with 1 (log 1 = 0,
// e^1, atan2(1, 1) = pi/4: harmless lanes; with AVX-512 by masked loads and stores), so
// every point goes through the same function.
using Unary256 = __m256d (*)(__m256d);
using Unary128 = __m128d (*)(__m128d);

__attribute__((target("avx2"))) inline void UnaryAvx2(Unary256 f, const double* x, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4)
        _mm256_storeu_pd(out + i, f(_mm256_loadu_pd(x + i)));
    if (i < n) {
        alignas(32) double a[4] = {1, 1, 1, 1}, r[4];
        for (int k = 0; i + k < n; ++k)
            a[k] = x[i + k];
        _mm256_store_pd(r, f(_mm256_load_pd(a)));
        for (int k = 0; i + k < n; ++k)
            out[i + k] = r[k];
    }
}

__attribute__((target("avx2"))) void LogAvx2(const double* x, double* out, int n) {
    UnaryAvx2(_ZGVdN4v_log, x, out, n);
}

__attribute__((target("avx2"))) void ExpAvx2(const double* x, double* out, int n) {
    UnaryAvx2(_ZGVdN4v_exp, x, out, n);
}

__attribute__((target("avx2"))) void Atan2Avx2(const double* y, const double* x, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4)
        _mm256_storeu_pd(out + i, _ZGVdN4vv_atan2(_mm256_loadu_pd(y + i), _mm256_loadu_pd(x + i)));
    if (i < n) {
        alignas(32) double a[4] = {1, 1, 1, 1}, b[4] = {1, 1, 1, 1}, r[4];
        for (int k = 0; i + k < n; ++k) {
            a[k] = y[i + k];
            b[k] = x[i + k];
        }
        _mm256_store_pd(r, _ZGVdN4vv_atan2(_mm256_load_pd(a), _mm256_load_pd(b)));
        for (int k = 0; i + k < n; ++k)
            out[i + k] = r[k];
    }
}

void UnarySse(Unary128 f, const double* x, double* out, int n) {
    int i = 0;
    for (; i + 2 <= n; i += 2)
        _mm_storeu_pd(out + i, f(_mm_loadu_pd(x + i)));
    if (i < n) {
        const __m128d r = f(_mm_set_pd(1.0, x[i]));
        out[i] = _mm_cvtsd_f64(r);
    }
}

void Atan2Sse(const double* y, const double* x, double* out, int n) {
    int i = 0;
    for (; i + 2 <= n; i += 2)
        _mm_storeu_pd(out + i, _ZGVbN2vv_atan2(_mm_loadu_pd(y + i), _mm_loadu_pd(x + i)));
    if (i < n) {
        const __m128d r = _ZGVbN2vv_atan2(_mm_set_pd(1.0, y[i]), _mm_set_pd(1.0, x[i]));
        out[i] = _mm_cvtsd_f64(r);
    }
}

} // namespace

void BatchLog(const double* x, double* out, int n) {
    if (n <= 0) return;
    if (HasAvx512())
        LogAvx512(x, out, n);
    else if (HasAvx2())
        LogAvx2(x, out, n);
    else
        UnarySse(_ZGVbN2v_log, x, out, n);
}

void BatchExp(const double* x, double* out, int n) {
    if (n <= 0) return;
    if (HasAvx512())
        ExpAvx512(x, out, n);
    else if (HasAvx2())
        ExpAvx2(x, out, n);
    else
        UnarySse(_ZGVbN2v_exp, x, out, n);
}

void BatchAtan2(const double* y, const double* x, double* out, int n) {
    if (n <= 0) return;
    if (HasAvx512())
        Atan2Avx512(y, x, out, n);
    else if (HasAvx2())
        Atan2Avx2(y, x, out, n);
    else
        Atan2Sse(y, x, out, n);
}

#else

void BatchLog(const double* x, double* out, int n) {
    for (int i = 0; i < n; ++i)
        out[i] = std::log(x[i]);
}

void BatchAtan2(const double* y, const double* x, double* out, int n) {
    for (int i = 0; i < n; ++i)
        out[i] = std::atan2(y[i], x[i]);
}

void BatchExp(const double* x, double* out, int n) {
    for (int i = 0; i < n; ++i)
        out[i] = std::exp(x[i]);
}

#endif

} // namespace velmora
