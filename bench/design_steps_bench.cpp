// The middle of the automatic design, step by step, for the two 20th-order designs of the
// whole-design benchmark: pairing, cascade ordering for maximum flatness, the gain
// distribution over ideal stages, the rating of every catalogue circuit offered for every
// stage with the automatic choice, and the gain distribution with the chosen circuits
// followed by the components of every stage. Each step starts from a copy of the design as
// the previous step left it; only the step itself is timed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "bench_designs.h"
#include "circuits/catalogue.h"
#include "circuits/components.h"
#include "stages/cascade.h"
#include "stages/gains.h"
#include "stages/pairing.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

enum class Step { Pairing, Cascade, IdealGains, CircuitRating, CircuitGains, Components };

void Pair(TDesign& d) {
    InitPairingLists(d);
    AutoPair(d);
    MarkStepChanged(d);
    d.DesignLevel = LevelPaired;
}

void IdealGains(TDesign& d) {
    DistributeGains(d);
    OverallActualGain(d);
    d.DesignLevel = LevelCascaded;
}

// What DesignStageCircuits does first: every offered circuit of every stage rated and the
// automatic choice selected.
void RateAndChoose(TDesign& d) {
    std::array<TCandidateSet, kMaxStages + 1> sets{};
    InitialiseCircuitStep(d, sets);
    for (int i = 1; i <= d.StageCount; ++i) {
        TCandidateSet& set = sets[static_cast<std::size_t>(i)];
        EvaluateCandidates(d, i, set);
        const int choice = AutomaticChoice(set, StageTypeInfo(d.Stages[i].StageType)->offered);
        SelectCircuit(d, i, choice, set);
    }
}

// The design at the start of `step`, from the request. The last two steps both start
// from the chosen circuits: the components step is the gain distribution with the
// circuits followed by the calculation of every stage.
std::unique_ptr<TDesign> DesignBefore(const Request& r, Step step) {
    auto d = std::make_unique<TDesign>();
    SilentDialogs dialogs;
    TfmMain main(*d, dialogs);
    if (!CalculateSpecification(r, main, dialogs)) return nullptr;
    main.ParEnt.BitBtn1Click();
    ChooseApproximation(*d, r.approx);
    TDesign out = main.Design();
    if (step > Step::Pairing) Pair(out);
    if (step > Step::Cascade) AutoCascade(out);
    if (step > Step::IdealGains) IdealGains(out);
    if (step > Step::CircuitRating) RateAndChoose(out);
    *d = out;
    return d;
}

void RunStep(benchmark::State& state, const Request& r, Step step) {
    const std::unique_ptr<TDesign> base = DesignBefore(r, step);
    if (!base) {
        state.SkipWithError("the specification failed");
        return;
    }
    auto d = std::make_unique<TDesign>();
    for (auto _ : state) {
        *d = *base;
        const auto start = std::chrono::steady_clock::now();
        switch (step) {
        case Step::Pairing:
            Pair(*d);
            break;
        case Step::Cascade:
            AutoCascade(*d);
            break;
        case Step::IdealGains:
            IdealGains(*d);
            break;
        case Step::CircuitRating:
            RateAndChoose(*d);
            break;
        case Step::CircuitGains:
            DistributeGains(*d, CircuitGainRealiser());
            break;
        case Step::Components:
            benchmark::DoNotOptimize(RealiseStageGains(*d, true));
            break;
        }
        const auto stop = std::chrono::steady_clock::now();
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    state.counters["stages"] = base->StageCount;
}

#define VELMORA_STEP_BENCH(design, step)                                                                     \
    void BM_##design##_##step(benchmark::State& state) {                                                     \
        RunStep(state, design(), Step::step);                                                                \
    }                                                                                                        \
    BENCHMARK(BM_##design##_##step)->UseManualTime()->Unit(benchmark::kMicrosecond)

VELMORA_STEP_BENCH(EllipticBandstop20, Pairing);
VELMORA_STEP_BENCH(EllipticBandstop20, Cascade);
VELMORA_STEP_BENCH(EllipticBandstop20, IdealGains);
VELMORA_STEP_BENCH(EllipticBandstop20, CircuitRating);
VELMORA_STEP_BENCH(EllipticBandstop20, CircuitGains);
VELMORA_STEP_BENCH(EllipticBandstop20, Components);
VELMORA_STEP_BENCH(BesselLowpass20, Pairing);
VELMORA_STEP_BENCH(BesselLowpass20, Cascade);
VELMORA_STEP_BENCH(BesselLowpass20, IdealGains);
VELMORA_STEP_BENCH(BesselLowpass20, CircuitRating);
VELMORA_STEP_BENCH(BesselLowpass20, CircuitGains);
VELMORA_STEP_BENCH(BesselLowpass20, Components);

} // namespace

BENCHMARK_MAIN();
