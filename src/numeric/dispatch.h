// Building a loop for the vector units of the processor it runs on.
//
// The response columns, their certainty tests and the cascade screening run over all
// points in one loop. Such a loop is built three times, for three levels of x86-64:
//   Baseline  any x86-64 (128-bit vectors; std::fma is the library's),
//   V3        256-bit vectors with fused multiply-add (x86-64-v3: AVX2, FMA),
//   V4        512-bit vectors (x86-64-v4: AVX-512 F, DQ, VL, BW),
// and the program picks the highest the processor has when it runs. The builds do the
// same operations in the same order: the core is compiled with -ffp-contract=off, so a
// fused multiply-add appears only where the code writes std::fma, which is exact in
// every build (an instruction in V3 and V4, the library's correctly rounded function in
// Baseline). The values, and the error bounds the fast paths carry, are therefore the
// same in each build; the Release dispatch tests force each level in turn and check it
// against the extended-precision reference.
//
// Usage: the loop's body in an always-inline function, and
//   VELMORA_VECTOR_KERNEL(void, Name, Body, (params...), (args...))
// defines Name(params...), which calls Body(args...) in the build for the active level.
// Hand-written intrinsics select their code with ActiveVectorLevel() themselves.
// Elsewhere than on x86-64 there is one build and the level is always Baseline.
#pragma once

#include <vector>

namespace velmora {

enum class VectorLevel : int { Baseline = 0, V3 = 1, V4 = 2 };

// The highest level the processor supports.
VectorLevel DetectedVectorLevel();

// The level the loops use: the detected one unless a lower one is forced, by
// ForceVectorLevel or at start by the environment variable VELMORA_VECTOR_LEVEL
// ("baseline", "x86-64-v3" or "x86-64-v4").
VectorLevel ActiveVectorLevel();

// Forces the loops down to `level` (capped at the detected one) until the next call; for
// the tests that run every build. Not meant to be changed while a computation runs.
void ForceVectorLevel(VectorLevel level);
// Back to the detected level.
void ResetVectorLevel();

// Every level this processor runs, lowest first; "baseline", "x86-64-v3", "x86-64-v4".
std::vector<VectorLevel> SupportedVectorLevels();
const char* VectorLevelName(VectorLevel level);

} // namespace velmora

#if defined(__x86_64__)
#if defined(__clang__)
#define VELMORA_TARGET_V3 __attribute__((target("avx2,fma,bmi,bmi2,lzcnt,movbe,f16c")))
#define VELMORA_TARGET_V4                                                                                    \
    __attribute__((target("avx512f,avx512dq,avx512vl,avx512bw,avx512cd,avx2,fma,bmi,bmi2")))
#else
#define VELMORA_TARGET_V3 __attribute__((target("arch=x86-64-v3")))
#define VELMORA_TARGET_V4 __attribute__((target("arch=x86-64-v4,prefer-vector-width=512")))
#endif
#else
#define VELMORA_TARGET_V3
#define VELMORA_TARGET_V4
#endif

#define VELMORA_VECTOR_KERNEL(Ret, Name, Body, Params, Args)                                                 \
    [[gnu::noinline]] Ret Name##Baseline Params {                                                            \
        return Body Args;                                                                                    \
    }                                                                                                        \
    [[gnu::noinline]] VELMORA_TARGET_V3 Ret Name##V3 Params {                                                \
        return Body Args;                                                                                    \
    }                                                                                                        \
    [[gnu::noinline]] VELMORA_TARGET_V4 Ret Name##V4 Params {                                                \
        return Body Args;                                                                                    \
    }                                                                                                        \
    Ret Name Params {                                                                                        \
        switch (::velmora::ActiveVectorLevel()) {                                                            \
        case ::velmora::VectorLevel::V4:                                                                     \
            return Name##V4 Args;                                                                            \
        case ::velmora::VectorLevel::V3:                                                                     \
            return Name##V3 Args;                                                                            \
        default:                                                                                             \
            return Name##Baseline Args;                                                                      \
        }                                                                                                    \
    }
