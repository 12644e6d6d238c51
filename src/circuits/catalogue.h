// The circuit catalogue: which op-amp circuits realise which stage type, their behaviour
// fields, and their netlists (plain and actively compensated).
//
// A circuit has three equivalent identities: its key ("SLP08": stage prefix and a
// two-digit number within the type), its catalogue number (the type's base + that
// number) and, within a stage, its choice (1-based position among the circuits offered
// for the type). The numbers within a type are not contiguous.
//
// Topologies: node 1 is the stage input, node 2 the stage output, node 0 ground; other
// nodes are internal. An op amp is (+ input, - input, output).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/design.h"

namespace velmora {

// ---- Stage types ------------------------------------------------------------------------
struct StageTypeEntry {
    int type;                // stage type code 0..7
    std::string_view prefix; // "FLP", "SLPN", ...
    int base;                // catalogue number of the type's circuit 0
    int offered;             // circuits offered for the type
};
// The entry of a stage type, or nullptr for an unknown code.
const StageTypeEntry* StageTypeInfo(int type);

// ---- The offered circuits -----------------------------------------------------------------
// The twelve behaviour fields of a catalogue row.
struct CatalogueRow {
    uint8_t C2Alone = 0;      // C2 may be adjusted on its own
    long double CapRatio = 0; // starting C2/C1 (0: no second capacitor rule)
    int ResistorCount = 0;
    int CapacitorCount = 0;
    uint8_t GainPair = 0;   // R(n-1), R(n) set the amplifier gain
    uint8_t C2Variable = 0; // the " C2 variable" option is offered
    uint8_t GainFixed = 0;
    int OpAmpCount = 0;
    uint8_t FullNumerator = 0;
    uint8_t Inverting = 0;
    uint8_t ActiveComp = 0; // an actively compensated variant exists
    int CompVariant = 0;
};
struct CatalogueEntry {
    std::string_view key;  // "SLP01"
    int type;              // stage type code
    int choice;            // 1-based position within the type
    int number;            // catalogue number: base + the key's number
    std::string_view name; // shown under the schematic
    CatalogueRow row;      // how the circuit behaves
};
std::span<const CatalogueEntry> CatalogueEntries(); // in type and choice order
const CatalogueEntry* EntryByKey(std::string_view key);
const CatalogueEntry* EntryByNumber(int number);
const CatalogueEntry* EntryByChoice(int type, int choice);

// The behaviour row of a catalogue entry.
CatalogueRow RowOf(const CatalogueEntry& e);

// Whether " Active Compensation" is offered for a circuit. The compensated variants of
// SLP04 and SBP05 put the added op amp's error in the same direction as the first one's
// (the pole-frequency drift doubles for any positive R6, R7), so they are not offered
// even though their rows name a variant.
bool ActiveCompensationOffered(std::string_view key);

// ---- Netlists ---------------------------------------------------------------------------
struct NetComponent {
    char kind;  // 'R' or 'C'
    int number; // R1 -> 1
    int a, b;   // nodes
};
struct NetOpAmp {
    int number; // A1 -> 1
    int plus, minus, out;
};
struct Topology {
    std::string key;
    bool compensated = false;
    std::vector<NetComponent> parts;
    std::vector<NetOpAmp> opamps;
    int highestNode = 0;
    int resistors() const;
    int capacitors() const;
};
// The netlist of a circuit, plain or compensated, or nullptr when there is none.
const Topology* FindTopology(std::string_view key, bool compensated = false);
// Every netlist of the catalogue (plain ones first, in catalogue order).
std::span<const Topology> AllTopologies();

} // namespace velmora
