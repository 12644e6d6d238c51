// The results a design's reports show, computed in one place for every front end: the
// ideal responses over the axis asked for, the final responses of the realised filter,
// the tolerance report, the check against the attenuation mask, the component values
// outside the practical range and the stages that invert. Plain data: a front end only
// formats them.
#pragma once

#include <optional>
#include <vector>

#include "analysis/final_response.h"
#include "analysis/final_response_gbw.h"
#include "analysis/frequency_response.h"
#include "analysis/ideal_responses.h"
#include "analysis/mask_check.h"
#include "analysis/monte_carlo.h"
#include "analysis/tolerance.h"
#include "circuits/practical_values.h"
#include "model/design.h"

namespace velmora::app {

struct ResultOptions {
    int onlyApprox = -1; // ideal responses of this approximation only (0..4), else every usable one
    // The attenuations the realised filter is checked against (nothing: the design's own).
    const Specification* mask = nullptr;
    // The frequencies of the response samples: over this axis (else the design's default
    // axis), at the 351 points of the design's column, or at `responsePoints`
    // frequencies evaluated one by one when that is above 0.
    std::optional<FrequencyAxis> responseAxis;
    int responsePoints = 0;
};

// The axis the response samples lie on, as it is used, and the number of samples.
FrequencyAxis ResponseAxis(const TDesign& d, const ResultOptions& o);
int ResponsePoints(const ResultOptions& o);

struct DesignResults {
    // Once the approximations are computed: the ideal responses of the approximations.
    std::vector<IdealResponseTable> ideal;
    // From the cascade on: the overall gain the distribution reached, when it differs.
    std::optional<long double> reachedGain;
    // From the calculated components on: the final responses with the exact resistors,
    // with the op amps' finite GBW and (with standard values on) the standard resistors.
    std::vector<FinalFrequencySample> finalExact, finalGbw, finalStandard;
    std::optional<ToleranceReport> tolerance;
    std::optional<SpecificationCheck> check; // a specified filter only
    std::vector<ImpracticalValue> impractical;
    std::vector<int> invertingStages;
};

// Everything the design has reached, computed without changing the design.
DesignResults Results(const TDesign& d, const ResultOptions& o);

} // namespace velmora::app
