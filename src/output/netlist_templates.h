// The netlist templates: one subcircuit section per catalogue circuit, in a plain set
// and a set of the actively compensated variants, as the SPICE writer reads them.
//
// A set is a sequence of text lines. A section starts with its key in brackets
// ("[SLP01]"), then the subcircuit header ".SUBCKT SLP " (the writer appends the stage
// number and the ports "1 2"), one line per resistor ("R1 1 3 RMODEL") and capacitor
// ("C1 4 0 CMODEL") in name order, one line per op amp ("XA1 4 2 2": + input, - input,
// output; the writer appends the op-amp model), and ".ENDS SLP ". The set ends with
// "[END]". Node 1 is the stage input, node 2 its output, node 0 ground.
//
// The sets are generated from the catalogue's topology table, so the netlist a user
// simulates is the very circuit the design formulas and the nodal analysis use.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "circuits/catalogue.h"

namespace velmora {

// The section of one topology, without its key line.
std::vector<std::string> TemplateSection(const Topology& topology);

// The whole set: every plain netlist (compensated = false) or every compensated variant,
// each section under its key line, ending with "[END]". Built once.
const std::vector<std::string>& NetlistTemplateSet(bool compensated);

// The lines of the section "[key]" of a set: the lines after the key line up to, not
// including, the next line that begins with "[". Nothing when the key is missing.
std::optional<std::vector<std::string>> TakeSection(std::span<const std::string> set, std::string_view key);

// The first word of a template line (its element name: "R3", "XA2", ".SUBCKT"), leading
// tabs and blanks skipped.
std::string_view ElementName(std::string_view line);

} // namespace velmora
