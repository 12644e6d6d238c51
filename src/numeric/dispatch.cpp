#include "numeric/dispatch.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace velmora {

namespace {

VectorLevel Detect() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx2") &&
        __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2"))
        return VectorLevel::V4;
        // Clang 14's feature test does not know f16c and movbe; every processor with AVX2,
        // FMA and BMI2 has them.
#if defined(__clang__)
    const bool v3Extras = true;
#else
    const bool v3Extras = __builtin_cpu_supports("f16c") && __builtin_cpu_supports("movbe");
#endif
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2") &&
        v3Extras)
        return VectorLevel::V3;
#endif
    return VectorLevel::Baseline;
}

// The level at start: VELMORA_VECTOR_LEVEL (a level's name) lowers it, to run or time a
// build the processor would not choose; an unknown name is ignored.
int StartingLevel() {
    int level = static_cast<int>(DetectedVectorLevel());
    if (const char* forced = std::getenv("VELMORA_VECTOR_LEVEL"))
        for (int l = 0; l <= static_cast<int>(VectorLevel::V4); ++l)
            if (std::strcmp(forced, VectorLevelName(static_cast<VectorLevel>(l))) == 0)
                level = std::min(level, l);
    return level;
}

std::atomic<int>& Active() {
    static std::atomic<int> level{StartingLevel()};
    return level;
}

} // namespace

VectorLevel DetectedVectorLevel() {
    static const VectorLevel level = Detect();
    return level;
}

VectorLevel ActiveVectorLevel() {
    return static_cast<VectorLevel>(Active().load(std::memory_order_relaxed));
}

void ForceVectorLevel(VectorLevel level) {
    const int capped = std::min(static_cast<int>(level), static_cast<int>(DetectedVectorLevel()));
    Active().store(capped, std::memory_order_relaxed);
}

void ResetVectorLevel() {
    Active().store(static_cast<int>(DetectedVectorLevel()), std::memory_order_relaxed);
}

std::vector<VectorLevel> SupportedVectorLevels() {
    std::vector<VectorLevel> levels;
    for (int l = 0; l <= static_cast<int>(DetectedVectorLevel()); ++l)
        levels.push_back(static_cast<VectorLevel>(l));
    return levels;
}

const char* VectorLevelName(VectorLevel level) {
    switch (level) {
    case VectorLevel::V4:
        return "x86-64-v4";
    case VectorLevel::V3:
        return "x86-64-v3";
    default:
        return "baseline";
    }
}

} // namespace velmora
