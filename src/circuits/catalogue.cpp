// The catalogue tables as data, and their readers.
#include "circuits/catalogue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>

namespace velmora {
namespace {

constexpr std::array<StageTypeEntry, 8> kStageTypes = {{
    {0, "FLP", 0, 3},
    {1, "FHP", 5, 4},
    {2, "SLP", 10, 6},
    {3, "SHP", 25, 5},
    {4, "SBP", 40, 5},
    {5, "SLPN", 55, 3},
    {6, "SHPN", 70, 3},
    {7, "SN", 85, 3},
}};

// Behaviour rows, in CatalogueRow's field order: C2Alone, CapRatio, resistors, capacitors,
// GainPair, C2Variable, GainFixed, op amps, FullNumerator, Inverting, ActiveComp, CompVariant.
constexpr std::array<CatalogueEntry, 32> kEntries = {{
    {"FLP01", 0, 1, 1, "First Order Lowpass I", {0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0}},
    {"FLP02", 0, 2, 2, "First Order Lowpass II", {0, 0, 3, 1, 1, 0, 0, 1, 0, 0, 0, 0}},
    {"FLP03", 0, 3, 3, "First Order Lowpass III", {0, 0, 2, 1, 0, 0, 0, 1, 0, 1, 0, 0}},
    {"FHP01", 1, 1, 6, "First Order Highpass I", {0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0}},
    {"FHP02", 1, 2, 7, "First Order Highpass II", {0, 0, 3, 1, 1, 0, 0, 1, 0, 0, 0, 0}},
    {"FHP03", 1, 3, 8, "First Order Highpass III", {0, 0, 1, 2, 0, 0, 0, 1, 0, 1, 0, 0}},
    {"FHP04", 1, 4, 9, "First Order Highpass IV", {0, 0, 2, 1, 0, 0, 0, 1, 0, 1, 0, 0}},
    {"SLP01", 2, 1, 11, "Sallen-Key (SK) Second Order Lowpass I", {1, 1, 2, 2, 0, 1, 1, 1, 0, 0, 1, 1}},
    {"SLP02", 2, 2, 12, "Sallen-Key (SK) Second Order Lowpass II", {1, 10, 4, 2, 1, 1, 1, 1, 0, 0, 1, 2}},
    {"SLP03",
     2,
     3,
     13,
     "Multiple Feedback (MFB) Second Order Lowpass I",
     {0, 100, 3, 2, 0, 0, 0, 1, 0, 1, 1, 3}},
    {"SLP04",
     2,
     4,
     14,
     "Multiple Feedback (MFB) Second Order Lowpass II",
     {1, 10, 5, 2, 1, 0, 0, 1, 0, 1, 1, 4}},
    {"SLP08",
     2,
     5,
     18,
     "KHN (Non-Inverting Input) Second Order Lowpass",
     {0, 1, 6, 2, 0, 0, 1, 3, 0, 0, 0, 0}},
    {"SLP13", 2, 6, 23, "Akerberg-Mossberg (AM) Second Order Lowpass", {0, 1, 6, 2, 0, 0, 0, 3, 0, 1, 0, 0}},
    {"SHP01", 3, 1, 26, "Sallen-Key (SK) Second Order Highpass I", {1, 1, 2, 2, 0, 0, 1, 1, 0, 0, 1, 6}},
    {"SHP02", 3, 2, 27, "Sallen-Key (SK) Second Order Highpass II", {1, 10, 4, 2, 1, 1, 0, 1, 0, 0, 1, 7}},
    {"SHP03",
     3,
     3,
     28,
     "Multiple Feedback (MFB) Second Order Highpass",
     {0, 1, 2, 3, 0, 0, 1, 1, 0, 1, 1, 8}},
    {"SHP06",
     3,
     4,
     31,
     "KHN (Non-Inverting Input) Second Order Highpass",
     {0, 1, 6, 2, 0, 0, 1, 3, 0, 0, 0, 0}},
    {"SHP10", 3, 5, 35, "Akerberg-Mossberg (AM) Second Order Highpass", {0, 1, 6, 3, 0, 0, 0, 3, 0, 1, 0, 0}},
    {"SBP03", 4, 1, 43, "Sallen-Key (SK) Second Order Bandpass", {1, 10, 5, 2, 1, 1, 0, 1, 0, 0, 1, 11}},
    {"SBP04",
     4,
     2,
     44,
     "Multiple Feedback (MFB) Second Order Bandpass I",
     {1, 10, 3, 2, 0, 0, 0, 1, 0, 1, 1, 12}},
    {"SBP05",
     4,
     3,
     45,
     "Multiple Feedback (MFB) Second Order Bandpass II",
     {1, 10, 5, 2, 1, 1, 0, 1, 0, 1, 1, 13}},
    {"SBP08",
     4,
     4,
     48,
     "KHN (Non-Inverting Input) Second Order Bandpass",
     {0, 1, 6, 2, 0, 0, 1, 3, 0, 1, 0, 0}},
    {"SBP13", 4, 5, 53, "Akerberg-Mossberg (AM) Second Order Bandpass", {0, 1, 6, 2, 0, 0, 0, 3, 0, 1, 0, 0}},
    {"SLPN01",
     5,
     1,
     56,
     "Friend's Single Amplifier Biquad (SAB) Second Order Lowpass Notch",
     {1, 1, 7, 2, 0, 0, 0, 1, 0, 0, 1, 14}},
    {"SLPN04", 5, 2, 59, "Fliege Second Order Lowpass Notch", {0, 1, 6, 3, 0, 0, 1, 2, 0, 0, 0, 0}},
    {"SLPN10",
     5,
     3,
     65,
     "Akerberg-Mossberg (AM) Second Order Lowpass Notch",
     {0, 1, 7, 3, 0, 0, 0, 3, 0, 1, 0, 0}},
    {"SHPN01",
     6,
     1,
     71,
     "Friend's Single Amplifier Biquad (SAB) Second Order Highpass Notch",
     {1, 1, 7, 2, 0, 0, 0, 1, 0, 0, 1, 16}},
    {"SHPN03", 6, 2, 73, "Fliege Second Order Highpass Notch", {0, 1, 7, 2, 0, 0, 1, 2, 0, 0, 0, 0}},
    {"SHPN09",
     6,
     3,
     79,
     "Akerberg-Mossberg (AM) Second Order Highpass Notch",
     {0, 1, 7, 3, 0, 0, 0, 3, 0, 1, 0, 0}},
    {"SN01", 7, 1, 86, "Sallen-Key (SK) Second Order Notch", {1, 1, 5, 3, 1, 0, 1, 1, 1, 0, 0, 0}},
    {"SN02", 7, 2, 87, "Fliege Second Order Notch", {0, 1, 6, 2, 0, 0, 1, 2, 0, 0, 0, 0}},
    {"SN09", 7, 3, 94, "Akerberg-Mossberg (AM) Second Order Notch", {0, 1, 7, 3, 0, 0, 0, 3, 0, 1, 0, 0}},
}};

// Netlists in the notation of the circuit drawings: "R1 1-3" a component between nodes
// 1 and 3, "A1(+3, -2, out 2)" an op amp. SBP03's op amp has its + input on the R3-C1
// node 4 and its - input on the gain divider (node 5): negative feedback through the
// divider, as its compensated variant has it (the other way round would close a
// positive feedback loop around the amplifier and put a pole in the right half-plane).
struct NetText {
    std::string_view key;
    bool compensated;
    std::string_view text;
};
constexpr std::array<NetText, 44> kNetlists = {{
    {"FLP01", false, "R1 1-3, C1 3-0, A1(+3, -2, out 2)"},
    {"FLP02", false, "R1 1-3, R2 4-0, R3 2-4, C1 3-0, A1(+3, -4, out 2)"},
    {"FLP03", false, "R1 1-3, R2 2-3, C1 2-3, A1(+0, -3, out 2)"},
    {"FHP01", false, "R1 3-0, C1 1-3, A1(+3, -2, out 2)"},
    {"FHP02", false, "R1 3-0, R2 4-0, R3 2-4, C1 1-3, A1(+3, -4, out 2)"},
    {"FHP03", false, "R1 2-3, C1 1-3, C2 2-3, A1(+0, -3, out 2)"},
    {"FHP04", false, "R1 1-3, R2 2-4, C1 3-4, A1(+0, -4, out 2)"},
    {"SLP01", false, "R1 1-3, R2 3-4, C1 4-0, C2 2-3, A1(+4, -2, out 2)"},
    {"SLP02", false, "R1 1-3, R2 3-4, R3 5-0, R4 2-5, C1 4-0, C2 2-3, A1(+4, -5, out 2)"},
    {"SLP03", false, "R1 1-3, R2 2-3, R3 3-4, C1 2-4, C2 3-0, A1(+0, -4, out 2)"},
    {"SLP04", false, "R1 1-3, R2 2-3, R3 3-4, R4 5-0, R5 2-5, C1 2-4, C2 3-0, A1(+5, -4, out 2)"},
    {"SLP08", false,
     "R1 4-5, R2 6-7, R3 1-8, R4 6-8, R5 2-3, R6 4-3, C1 6-5, C2 2-7, A1(+8, -3, out 4), A2(+0, -5, out 6), "
     "A3(+0, -7, out 2)"},
    {"SLP13", false,
     "R1 1-3, R2 4-5, R3 6-5, R4 6-7, R5 2-7, R6 2-3, C1 4-3, C2 2-7, A1(+3, -0, out 6), A2(+0, -5, out 4), "
     "A3(+0, -7, out 2)"},
    {"SHP01", false, "R1 4-0, R2 2-3, C1 1-3, C2 3-4, A1(+4, -2, out 2)"},
    {"SHP02", false, "R1 4-0, R2 2-3, R3 5-0, R4 2-5, C1 3-4, C2 1-3, A1(+4, -5, out 2)"},
    {"SHP03", false, "R1 3-0, R2 2-4, C1 1-3, C2 2-3, C3 3-4, A1(+0, -4, out 2)"},
    {"SHP06", false,
     "R1 2-5, R2 6-7, R3 1-4, R4 6-4, R5 8-3, R6 2-3, C1 6-5, C2 8-7, A1(+4, -3, out 2), A2(+0, -5, out 6), "
     "A3(+0, -7, out 8)"},
    {"SHP10", false,
     "R1 5-0, R2 4-5, R3 6-5, R4 6-7, R5 2-7, R6 2-3, C1 2-7, C2 1-7, C3 4-3, A1(+3, -0, out 6), "
     "A2(+0, -5, out 4), A3(+0, -7, out 2)"},
    {"SBP03", false, "R1 1-3, R2 2-3, R3 4-0, R4 5-0, R5 2-5, C1 3-4, C2 3-0, A1(+4, -5, out 2)"},
    {"SBP04", false, "R1 1-3, R2 2-4, R3 3-0, C1 3-4, C2 2-3, A1(+0, -4, out 2)"},
    {"SBP05", false, "R1 1-3, R2 2-4, R3 3-0, R4 5-0, R5 2-5, C1 3-4, C2 2-3, A1(+5, -4, out 2)"},
    {"SBP08", false,
     "R1 4-5, R2 2-6, R3 1-7, R4 2-7, R5 8-3, R6 4-3, C1 2-5, C2 8-6, A1(+7, -3, out 4), A2(+0, -5, out 2), "
     "A3(+0, -6, out 8)"},
    {"SBP13", false,
     "R1 1-7, R2 4-5, R3 6-5, R4 6-7, R5 2-7, R6 2-3, C1 4-3, C2 2-7, A1(+3, -0, out 6), A2(+0, -5, out 4), "
     "A3(+0, -7, out 2)"},
    {"SLPN01", false,
     "R1 1-3, R2 2-4, R3 1-5, R4 3-0, R5 4-0, R6 5-0, R7 2-5, C1 3-4, C2 2-3, A1(+5, -4, out 2)"},
    {"SLPN04", false,
     "R1 1-3, R2 3-0, R3 3-4, R4 2-5, R5 2-6, R6 1-6, C1 1-3, C2 3-0, C3 4-5, A1(+6, -5, out 4), "
     "A2(+3, -5, out 2)"},
    {"SLPN10", false,
     "R1 1-3, R2 4-5, R3 6-5, R4 6-7, R5 2-7, R6 5-0, R7 2-3, C1 4-3, C2 2-7, C3 1-7, A1(+3, -0, out 6), "
     "A2(+0, -5, out 4), A3(+0, -7, out 2)"},
    {"SHPN01", false,
     "R1 1-3, R2 1-4, R3 1-5, R4 3-0, R5 2-4, R6 5-0, R7 2-5, C1 3-4, C2 2-3, A1(+5, -4, out 2)"},
    {"SHPN03", false,
     "R1 1-3, R2 3-0, R3 4-3, R4 2-5, R5 1-6, R6 2-6, R7 6-0, C1 1-3, C2 4-5, A1(+6, -5, out 4), "
     "A2(+3, -5, out 2)"},
    {"SHPN09", false,
     "R1 1-3, R2 4-5, R3 6-5, R4 6-7, R5 2-7, R6 5-0, R7 2-3, C1 4-3, C2 2-7, C3 1-7, A1(+3, -0, out 6), "
     "A2(+0, -5, out 4), A3(+0, -7, out 2)"},
    {"SN01", false, "R1 1-4, R2 4-5, R3 2-3, R4 6-0, R5 2-6, C1 1-3, C2 3-5, C3 4-0, A1(+5, -6, out 2)"},
    {"SN02", false,
     "R1 1-3, R2 3-0, R3 3-4, R4 2-5, R5 2-6, R6 1-6, C1 1-3, C2 4-5, A1(+6, -5, out 4), A2(+3, -5, out 2)"},
    {"SN09", false,
     "R1 1-3, R2 4-5, R3 6-5, R4 6-7, R5 2-7, R6 5-0, R7 2-3, C1 4-3, C2 2-7, C3 1-7, A1(+3, -0, out 6), "
     "A2(+0, -5, out 4), A3(+0, -7, out 2)"},
    // Compensated variants: a second op amp takes over the feedback path of the first.
    {"SLP01", true, "R1 1-3, R2 3-4, C1 4-0, C2 2-3, A1(+4, -5, out 2), A2(+2, -5, out 5)"},
    {"SLP02", true,
     "R1 1-3, R2 3-4, R3 5-0, R4 2-5, R5 6-7, R6 7-0, C1 4-0, C2 2-3, A1(+4, -7, out 2), A2(+5, -7, out 6)"},
    {"SLP03", true, "R1 1-3, R2 2-3, R3 3-4, C1 2-4, C2 3-0, A1(+0, -4, out 5), A2(+5, -4, out 2)"},
    {"SLP04", true,
     "R1 1-3, R2 2-3, R3 3-4, R4 5-0, R5 2-5, R6 6-7, R7 7-0, C1 2-4, C2 3-0, A1(+7, -4, out 2), "
     "A2(+5, -7, out 6)"},
    {"SHP01", true, "R1 4-0, R2 2-3, C1 1-3, C2 3-4, A1(+4, -5, out 2), A2(+2, -5, out 5)"},
    {"SHP02", true,
     "R1 4-0, R2 2-3, R3 5-0, R4 2-5, R5 6-7, R6 7-0, C1 3-4, C2 1-3, A1(+4, -7, out 2), A2(+5, -7, out 6)"},
    {"SHP03", true, "R1 3-0, R2 2-4, C1 1-3, C2 2-3, C3 3-4, A1(+0, -4, out 5), A2(+5, -4, out 2)"},
    {"SBP03", true,
     "R1 1-3, R2 2-3, R3 4-0, R4 5-0, R5 2-5, R6 6-7, R7 7-0, C1 3-4, C2 3-0, A1(+4, -7, out 2), "
     "A2(+5, -7, out 6)"},
    {"SBP04", true, "R1 1-3, R2 2-4, R3 3-0, C1 3-4, C2 2-3, A1(+0, -4, out 5), A2(+5, -4, out 2)"},
    {"SBP05", true,
     "R1 1-3, R2 2-4, R3 3-0, R4 5-0, R5 2-5, R6 6-7, R7 7-0, C1 3-4, C2 2-3, A1(+7, -4, out 2), "
     "A2(+5, -7, out 6)"},
    {"SLPN01", true,
     "R1 1-3, R2 2-4, R3 1-5, R4 3-0, R5 4-0, R6 5-0, R7 2-5, R8 6-7, R9 2-7, C1 3-4, C2 2-3, "
     "A1(+5, -4, out 6), A2(+7, -4, out 2)"},
    {"SHPN01", true,
     "R1 1-3, R2 1-4, R3 1-5, R4 3-0, R5 2-4, R6 5-0, R7 2-5, R8 6-7, R9 2-7, C1 3-4, C2 2-3, "
     "A1(+5, -4, out 6), A2(+7, -4, out 2)"},
}};

// A small reader over a netlist text; any deviation from the notation is a fault of the
// table above, found by the catalogue tests (every netlist parses to its row's counts).
class NetReader {
  public:
    explicit NetReader(std::string_view t) : t_(t) {}
    bool done() {
        skip();
        return p_ >= t_.size();
    }
    bool literal(char c) {
        skip();
        if (p_ < t_.size() && t_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        skip();
        if (t_.substr(p_, w.size()) != w) return false;
        p_ += w.size();
        return true;
    }
    std::optional<char> letter() {
        skip();
        if (p_ < t_.size() && std::isalpha(static_cast<unsigned char>(t_[p_]))) return t_[p_++];
        return std::nullopt;
    }
    std::optional<int> number() {
        skip();
        int v = 0;
        const auto r = std::from_chars(t_.data() + p_, t_.data() + t_.size(), v);
        if (r.ec != std::errc()) return std::nullopt;
        p_ = static_cast<std::size_t>(r.ptr - t_.data());
        return v;
    }

  private:
    void skip() {
        while (p_ < t_.size() && t_[p_] == ' ')
            ++p_;
    }
    std::string_view t_;
    std::size_t p_ = 0;
};

std::optional<Topology> ParseNetlist(const NetText& n) {
    Topology t;
    t.key = std::string(n.key);
    t.compensated = n.compensated;
    NetReader r(n.text);
    while (!r.done()) {
        const auto kind = r.letter();
        const auto number = r.number();
        if (!kind || !number) return std::nullopt;
        if (*kind == 'A') {
            NetOpAmp a{*number, 0, 0, 0};
            if (!r.literal('(') || !r.literal('+')) return std::nullopt;
            const auto plus = r.number();
            if (!plus || !r.literal(',') || !r.literal('-')) return std::nullopt;
            const auto minus = r.number();
            if (!minus || !r.literal(',') || !r.word("out")) return std::nullopt;
            const auto out = r.number();
            if (!out || !r.literal(')')) return std::nullopt;
            a.plus = *plus;
            a.minus = *minus;
            a.out = *out;
            t.opamps.push_back(a);
            t.highestNode = std::max({t.highestNode, a.plus, a.minus, a.out});
        } else if (*kind == 'R' || *kind == 'C') {
            const auto a = r.number();
            if (!a || !r.literal('-')) return std::nullopt;
            const auto b = r.number();
            if (!b) return std::nullopt;
            t.parts.push_back({*kind, *number, *a, *b});
            t.highestNode = std::max({t.highestNode, *a, *b});
        } else {
            return std::nullopt;
        }
        if (!r.literal(',') && !r.done()) return std::nullopt;
    }
    return t;
}

const std::vector<Topology>& Netlists() {
    static const std::vector<Topology> all = [] {
        std::vector<Topology> v;
        v.reserve(kNetlists.size());
        for (const NetText& n : kNetlists)
            if (auto t = ParseNetlist(n)) v.push_back(std::move(*t));
        return v;
    }();
    return all;
}

} // namespace

const StageTypeEntry* StageTypeInfo(int type) {
    if (type < 0 || type >= static_cast<int>(kStageTypes.size())) return nullptr;
    return &kStageTypes[static_cast<std::size_t>(type)];
}

std::span<const CatalogueEntry> CatalogueEntries() {
    return kEntries;
}

const CatalogueEntry* EntryByKey(std::string_view key) {
    for (const CatalogueEntry& e : kEntries)
        if (e.key == key) return &e;
    return nullptr;
}
const CatalogueEntry* EntryByNumber(int number) {
    for (const CatalogueEntry& e : kEntries)
        if (e.number == number) return &e;
    return nullptr;
}
const CatalogueEntry* EntryByChoice(int type, int choice) {
    for (const CatalogueEntry& e : kEntries)
        if (e.type == type && e.choice == choice) return &e;
    return nullptr;
}

CatalogueRow RowOf(const CatalogueEntry& e) {
    return e.row;
}

bool ActiveCompensationOffered(std::string_view key) {
    const CatalogueEntry* e = EntryByKey(key);
    if (!e || key == "SLP04" || key == "SBP05") return false;
    return RowOf(*e).ActiveComp != 0 && FindTopology(key, true) != nullptr;
}

int Topology::resistors() const {
    return static_cast<int>(
        std::count_if(parts.begin(), parts.end(), [](const NetComponent& p) { return p.kind == 'R'; }));
}
int Topology::capacitors() const {
    return static_cast<int>(
        std::count_if(parts.begin(), parts.end(), [](const NetComponent& p) { return p.kind == 'C'; }));
}

const Topology* FindTopology(std::string_view key, bool compensated) {
    for (const Topology& t : Netlists())
        if (t.key == key && t.compensated == compensated) return &t;
    return nullptr;
}

std::span<const Topology> AllTopologies() {
    return Netlists();
}

} // namespace velmora
