// Netlist templates generated from the catalogue's topologies.
#include "output/netlist_templates.h"

#include <algorithm>

namespace velmora {
namespace {

std::string Prefix(std::string_view key) {
    std::size_t n = 0;
    while (n < key.size() && !(key[n] >= '0' && key[n] <= '9'))
        ++n;
    return std::string(key.substr(0, n));
}

std::vector<std::string> BuildSet(bool compensated) {
    std::vector<std::string> set;
    for (const Topology& t : AllTopologies()) {
        if (t.compensated != compensated) continue;
        set.push_back("[" + t.key + "]");
        for (std::string& line : TemplateSection(t))
            set.push_back(std::move(line));
    }
    set.push_back("[END]");
    return set;
}

} // namespace

std::vector<std::string> TemplateSection(const Topology& t) {
    const std::string prefix = Prefix(t.key);
    std::vector<std::string> lines;
    lines.push_back(".SUBCKT " + prefix + " ");
    // Resistors first, then capacitors, each in name order: the writer finds a
    // component's line by its name, and a reader of the file expects that order.
    for (const char kind : {'R', 'C'}) {
        std::vector<const NetComponent*> parts;
        for (const NetComponent& p : t.parts)
            if (p.kind == kind) parts.push_back(&p);
        std::sort(parts.begin(), parts.end(),
                  [](const NetComponent* a, const NetComponent* b) { return a->number < b->number; });
        for (const NetComponent* p : parts)
            lines.push_back(std::string(1, kind) + std::to_string(p->number) + " " + std::to_string(p->a) +
                            " " + std::to_string(p->b) + (kind == 'R' ? " RMODEL" : " CMODEL"));
    }
    for (const NetOpAmp& a : t.opamps)
        lines.push_back("XA" + std::to_string(a.number) + " " + std::to_string(a.plus) + " " +
                        std::to_string(a.minus) + " " + std::to_string(a.out));
    lines.push_back(".ENDS " + prefix + " ");
    return lines;
}

const std::vector<std::string>& NetlistTemplateSet(bool compensated) {
    static const std::vector<std::string> plain = BuildSet(false);
    static const std::vector<std::string> variants = BuildSet(true);
    return compensated ? variants : plain;
}

std::optional<std::vector<std::string>> TakeSection(std::span<const std::string> set, std::string_view key) {
    const std::string head = "[" + std::string(key) + "]";
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (set[i] != head) continue;
        std::vector<std::string> out;
        for (std::size_t j = i + 1; j < set.size() && !(set[j].size() > 0 && set[j][0] == '['); ++j)
            out.push_back(set[j]);
        return out;
    }
    return std::nullopt;
}

std::string_view ElementName(std::string_view line) {
    std::size_t b = 0;
    while (b < line.size() && (line[b] == ' ' || line[b] == '\t'))
        ++b;
    std::size_t e = b;
    while (e < line.size() && line[e] != ' ' && line[e] != '\t')
        ++e;
    return line.substr(b, e - b);
}

} // namespace velmora
