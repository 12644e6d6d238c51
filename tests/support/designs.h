// Whole designs for the tests: a specification taken through the approximation, the
// stage synthesis and the ideal responses to calculated components, as the steps run it.
#pragma once

#include <string>
#include <vector>

#include "analysis/ideal_responses.h"
#include "app/messages.h"
#include "circuits/catalogue.h"
#include "circuits/selection.h"
#include "stages/stage_test_support.h"
#include "stages/synthesis.h"

namespace velmora::test {

struct DesignOutcome {
    bool ok = false;
    std::string message; // the step that failed
};

// `spec` taken through the approximation `approx`, the stages and the ideal responses.
inline DesignOutcome Synthesise(TDesign& d, const stagetest::Spec& spec, int approx) {
    if (!stagetest::Calculate(d, spec)) return {false, "approximations failed"};
    ChooseApproximation(d, approx);
    if (SynthesiseStages(d) != SynthesisStatus::Ok) return {false, "stage synthesis failed"};
    ComputeIdealResponses(d);
    return {true, ""};
}

// ... and on to calculated components: stage i takes requests[i - 1] (the circuit chosen
// automatically where there is none).
inline DesignOutcome DesignFilter(TDesign& d, const stagetest::Spec& spec, int approx,
                                  const std::vector<StageCircuitRequest>& requests = {}) {
    const DesignOutcome s = Synthesise(d, spec, approx);
    if (!s.ok) return s;
    const CircuitsOutcome o = DesignStageCircuits(d, requests);
    return {o.ok, app::CircuitsMessage(o)};
}

// The same with the circuit `key` in every stage of its type, compensated or predistorted
// on request, and op amps of `gbwHz` (0: the default for each stage).
inline DesignOutcome DesignWith(TDesign& d, const stagetest::Spec& spec, int approx, const std::string& key,
                                bool compensate = false, bool predistort = false, long double gbwHz = 0) {
    const DesignOutcome s = Synthesise(d, spec, approx);
    if (!s.ok) return s;
    const CatalogueEntry* e = key.empty() ? nullptr : EntryByKey(key);
    std::vector<StageCircuitRequest> requests(static_cast<std::size_t>(d.StageCount));
    for (int i = 1; i <= d.StageCount; ++i) {
        StageCircuitRequest& r = requests[static_cast<std::size_t>(i - 1)];
        r.gbwHz = gbwHz;
        if (e && d.Stages[i].StageType == e->type) {
            r.key = std::string(e->key);
            r.compensate = compensate;
            r.predistort = predistort;
        }
    }
    const CircuitsOutcome o = DesignStageCircuits(d, requests);
    return {o.ok, app::CircuitsMessage(o)};
}

} // namespace velmora::test
