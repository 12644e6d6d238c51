// The reports of a design: the text report and the JSON document.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

#include "model/design.h"
#include "ui/tfm_par_ent.h"

namespace velmora::cli {

inline constexpr int kJsonSchemaVersion = 1;

void PrintSpecification(std::ostream& out, const TDesign& d);
void PrintComparisonTable(std::ostream& out, const ComparisonTable& table);

nlohmann::ordered_json SpecificationJson(const TDesign& d);

} // namespace velmora::cli
