// Tuning instructions: for a built stage, which components to trim in which order, and
// what to measure, filled with the numbers of the stage's ideal response.
//
// The tuning table rates each circuit's sequence ("EX" excellent, "GO" good, "FA" fair,
// "PO" poor, "NR" not recommended) and lists up to four steps: a component, the
// parameter it trims and the link to the next step ("00" follows, "01" the two are
// repeated in turn until both are met, "02" a grouped pair). The instruction templates
// are markup lines (see ui/markup_text.h) with \d00..\d09 standing for the stage's
// values; the entries of one section are computed for that section, since the same
// number means a different value in different sections.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/design.h"

namespace velmora {

// The table entry of a circuit key ("FA C2QP01 R1WP"), empty for an unknown key.
std::string_view TuningEntry(std::string_view key);

struct TuningStep {
    std::string component; // "R1", "C2"
    std::string parameter; // "wp"/"fp", "Qp", "wz"/"fz", "Qz", "wc"/"fc"
    int link = 0;          // to the next step: 0 follows, 1 repeat pair, 2 grouped pair; -1 last
};

struct TuningSection {
    std::string name;                   // "wp mag", "Qp mag peak", ...
    std::vector<std::string> lines;     // markup
    std::array<std::string, 14> values; // \d00..\d09 (the markup substitutions)
};

struct TuningInstructions {
    bool recommended = false; // false: "Not recommended", no sections
    std::string rating;       // "EX", "GO", "FA", "PO" or "NR"
    std::vector<TuningStep> steps;
    std::vector<TuningSection> magnitude; // "By magnitude:"
    std::vector<TuningSection> phase;     // "By phase (preferred method):"
    std::vector<std::string> parameters;  // "Qp: 1.300", "fp: 1 KHz", ...
};

// The instructions of a stage's circuit. Nothing when the stage has no catalogue circuit.
std::optional<TuningInstructions> StageTuning(const TDesign& d, int stage);

} // namespace velmora
