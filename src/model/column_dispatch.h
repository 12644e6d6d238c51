// Building a column loop for the vector units of the processor it runs on.
//
// The response columns and their certainty tests run over all points in one loop. Such
// a loop is built three times: for any x86-64 (128-bit vectors, the library's fma), for
// processors with 256-bit vectors and fused multiply-add, and for processors with
// 512-bit vectors, and the program picks one when it runs. The builds do the same
// operations; the fused ones are exact in each, so the values that depend on them do
// not change.
//
// Usage: the loop's body in an always-inline function, wrapped as
//   VELMORA_COLUMN_CLONES void BodyCommon(args) { Body(args); }
//   VELMORA_COLUMN_WIDE void BodyWide(args) { Body(args); }
// and called through HasWideVectors() ? BodyWide(args) : BodyCommon(args).
#pragma once

#if defined(__x86_64__)
#define VELMORA_COLUMN_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#if defined(__clang__)
#define VELMORA_COLUMN_WIDE __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw,avx2,fma")))
#else
#define VELMORA_COLUMN_WIDE __attribute__((target("arch=x86-64-v4,prefer-vector-width=512")))
#endif
#else
#define VELMORA_COLUMN_CLONES
#define VELMORA_COLUMN_WIDE
#endif

namespace velmora {

// Whether the processor has the 512-bit vector instructions the wide builds use.
inline bool HasWideVectors() {
#if defined(__x86_64__)
    static const bool wide = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
    return wide;
#else
    return false;
#endif
}

} // namespace velmora
