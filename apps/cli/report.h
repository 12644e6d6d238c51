// The reports of a design: the text report and the JSON document.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "app/design_results.h"
#include "approx/approximation.h"
#include "model/design.h"

namespace velmora::cli {

inline constexpr int kJsonSchemaVersion = 1;

struct ReportOptions {
    int onlyApprox = -1; // ideal responses of this approximation only (0..4), else every usable one
    const MonteCarloResult* monteCarlo = nullptr; // the Monte Carlo result, when one was asked for
    // The specified attenuations the realised filter is checked against when the design
    // was made with a margin (nothing: the design's own), and that margin in dB.
    const Specification* mask = nullptr;
    long double designMarginDb = 0;
    // Notes on the run for the person (values not set as asked, and the like).
    std::vector<std::string> notes;
    // The frequencies of the ideal and final response samples: over this axis (else the
    // design's default axis), at the 351 points of the design's column, or at
    // `responsePoints` frequencies evaluated one by one when that is above 0.
    std::optional<FrequencyAxis> responseAxis;
    int responsePoints = 0;
};

// The options of the results the reports show.
app::ResultOptions ResultOptionsOf(const ReportOptions& o);

void PrintSpecification(std::ostream& out, const TDesign& d);
void PrintComparisonTable(std::ostream& out, const ComparisonTable& table);
// The chosen approximation, the stages in cascade order and their coefficients.
void PrintStages(std::ostream& out, const TDesign& d, const app::DesignResults& r);

nlohmann::ordered_json SpecificationJson(const TDesign& d);
nlohmann::ordered_json ApproximationsJson(const TDesign& d);
nlohmann::ordered_json GraphRangesJson(const TDesign& d);
nlohmann::ordered_json IdealResponseJson(const app::DesignResults& r);
nlohmann::ordered_json StagesJson(const TDesign& d);
nlohmann::ordered_json CoefficientsJson(const TDesign& d);
nlohmann::ordered_json CircuitsJson(const TDesign& d);
nlohmann::ordered_json FinalResponseJson(const app::DesignResults& r);
nlohmann::ordered_json FinalGbwResponseJson(const app::DesignResults& r);
// The frequencies the response samples lie at: "f_min_hz", "f_max_hz", "points", "log".
nlohmann::ordered_json ResponseAxisJson(const TDesign& d, const ReportOptions& o);
// Circuits and component values of every stage.
void PrintCircuits(std::ostream& out, const TDesign& d, const app::DesignResults& r);
// Component values outside the practical range (resistors 100 Ohm to 1 MOhm, capacitors
// 100 pF to 10 uF), as a warning after the circuits and as the JSON array
// "component_warnings" (present when there is one).
void PrintComponentWarnings(std::ostream& out, const TDesign& d, const app::DesignResults& r);
nlohmann::ordered_json ComponentWarningsJson(const app::DesignResults& r);
// Sensitivities, tuning instructions, tolerance analysis and Monte Carlo summary.
void PrintAnalyses(std::ostream& out, const TDesign& d, const ReportOptions& o, const app::DesignResults& r);
// The specification check of every response variant present (a specified filter with
// calculated circuits), as a table and as the JSON object "specification_check".
void PrintSpecificationCheck(std::ostream& out, const TDesign& d, const SpecificationCheck& c);
nlohmann::ordered_json SpecificationCheckJson(const TDesign& d, const SpecificationCheck& c);
// The nominal margins beside a Monte Carlo yield, and what a yield near a half means.
std::vector<std::string> YieldContext(const std::optional<SpecificationCheck>& c);
// The remedies of a check that misses, one sentence each.
std::vector<std::string> SpecificationSuggestions(const TDesign& d, const SpecificationCheck& c);
// The whole document, with the sections the design has reached, from the results given
// or computed for the options.
nlohmann::ordered_json DesignJson(const TDesign& d, const ReportOptions& o, const app::DesignResults& r);
nlohmann::ordered_json DesignJson(const TDesign& d, const ReportOptions& o);

} // namespace velmora::cli
