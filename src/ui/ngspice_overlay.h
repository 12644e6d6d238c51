// The final response checked in a real simulator: the netlist ngspice runs for the
// final-response window (the ngspice dialect over the window's frequency axis, with the
// op-amp model of the curves shown), and the reading of the data file it writes back
// into samples the window draws over its own curves.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/final_response.h"
#include "analysis/frequency_response.h"
#include "output/spice_netlist.h"

namespace velmora {

// The netlist file and the data file ngspice writes beside it, in the folder it runs in.
inline constexpr const char* kOverlayNetlist = "velmora-overlay.cir";
inline constexpr const char* kOverlayData = "velmora-overlay.ac.txt";

// The netlist over `axis` (any unit; the sweep is in Hz) at 100 points a decade, with
// single-pole op amps at each stage's GBW when `opAmps`, else ideal ones.
SpiceNetlist OverlayNetlist(const TDesign& d, const FrequencyAxis& axis, bool opAmps);

// The first sweep of ngspice's data file (frequency in Hz, real and imaginary part of the
// output per line) as samples with gain and phase; the phase is unwrapped along the
// sweep so that it can be compared with the window's. Nothing when the text holds no
// sweep or a value that is not finite.
std::optional<std::vector<FinalFrequencySample>> ReadNgspiceAc(const std::string& text);

// The last `lines` lines of a program's output, for a message that shows why it failed.
std::string OutputTail(const std::string& output, int lines = 12);

} // namespace velmora
