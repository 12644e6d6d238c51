// Schematic drawings: every layout joins what its netlist joins, and the painter draws
// every name and value once and finds each component under its body.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "circuits/catalogue.h"
#include "circuits/schematic_layouts.h"
#include "support/xml_check.h"
#include "ui/schematic_painter.h"
#include "ui/svg_surface.h"

namespace velmora {
namespace {

// Whether a layout's derived connections are the netlist's: the same components and op
// amps, each pin on the same node, where the internal nodes may be numbered differently
// but must correspond one to one. Returns the first difference, empty when they agree.
std::string CompareWithNetlist(const SchematicLayout& l, const Topology& t) {
    const DerivedConnections d = DeriveConnections(l);
    if (!d.problems.empty()) return d.problems.front();
    std::map<std::string, std::vector<int>> want;
    for (const auto& c : t.parts)
        want[std::string(1, c.kind) + std::to_string(c.number)] = {c.a, c.b};
    for (const auto& a : t.opamps)
        want["A" + std::to_string(a.number)] = {a.plus, a.minus, a.out};
    std::map<std::string, std::vector<int>> got(d.pins.begin(), d.pins.end());
    if (got.size() != d.pins.size()) return "a name drawn twice";
    std::map<int, int> toLayout{{0, 0}, {1, 1}, {2, 2}}, toNet{{0, 0}, {1, 1}, {2, 2}};
    auto pair = [&](int net, int drawn) {
        auto [i, a] = toLayout.emplace(net, drawn);
        auto [j, b] = toNet.emplace(drawn, net);
        return i->second == drawn && j->second == net;
    };
    for (const auto& [name, nodes] : want) {
        const auto g = got.find(name);
        if (g == got.end()) return name + " is not drawn";
        std::vector<int> drawn = g->second;
        bool ok = true;
        if (name[0] == 'A') {
            for (std::size_t k = 0; k < 3; ++k)
                ok = ok && pair(nodes[k], drawn[k]);
        } else {
            // A two-pin part may be drawn either way round; try the straight way on copies.
            const auto l0 = toLayout, n0 = toNet;
            if (!(pair(nodes[0], drawn[0]) && pair(nodes[1], drawn[1]))) {
                toLayout = l0, toNet = n0;
                ok = pair(nodes[0], drawn[1]) && pair(nodes[1], drawn[0]);
            }
        }
        if (!ok) return name + " is connected differently";
        got.erase(g);
    }
    if (!got.empty()) return got.begin()->first + " is drawn but not in the netlist";
    return {};
}

// Every netlist of the catalogue, plain and compensated, has a drawing, and each drawing
// joins what its netlist joins.
TEST(SchematicLayouts, ConnectionsEqualTheNetlists) {
    for (const Topology& t : AllTopologies()) {
        const std::string what = t.key + (t.compensated ? " compensated" : "");
        const SchematicLayout* l = FindLayout(t.key, t.compensated);
        ASSERT_NE(l, nullptr) << what << " is not drawn";
        EXPECT_EQ(CompareWithNetlist(*l, t), "") << what;
    }
    EXPECT_EQ(AllTopologies().size(), 44u);
}

// Every drawn circuit paints to well-formed SVG with each name and given value on it,
// and a click on each resistor or capacitor finds that component and nothing else.
TEST(SchematicPainter, DrawsNamesValuesAndFindsComponentsUnderPoints) {
    const SchematicStyle st;
    for (const Topology& t : AllTopologies()) {
        const SchematicLayout* l = FindLayout(t.key, t.compensated);
        if (!l) continue;
        const std::string what = t.key + (t.compensated ? " compensated" : "");
        std::map<std::string, std::string> values;
        for (const auto& c : l->parts)
            values[c.name()] = "v" + c.name() + "x";
        const PointD size = SchematicSize(*l, st);
        SvgSurface svg(size.X, size.Y);
        PaintSchematic(svg, *l, values, "caption", st);
        const test::XmlCheck x = test::CheckXml(svg.Document());
        EXPECT_TRUE(x.ok) << what << ": " << x.error;
        std::multiset<std::string> texts;
        for (const auto& e : x.elements)
            if (e.name == "text") texts.insert(e.text);
        for (const auto& [name, value] : values) {
            EXPECT_EQ(texts.count(name), 1u) << what << " " << name;
            EXPECT_EQ(texts.count(value), 1u) << what << " " << value;
        }
        for (const auto& a : l->opamps)
            EXPECT_EQ(texts.count("A" + std::to_string(a.number)), 1u) << what;
        for (const auto& c : l->parts) {
            const PointD a{st.Margin + c.pin1.X * st.Unit, st.Margin + c.pin1.Y * st.Unit};
            const PointD b{st.Margin + c.pin2().X * st.Unit, st.Margin + c.pin2().Y * st.Unit};
            const PointD mid{(a.X + b.X) / 2, (a.Y + b.Y) / 2};
            EXPECT_EQ(ComponentAt(*l, mid, st), std::optional<std::string>(c.name())) << what;
            EXPECT_EQ(ComponentAt(*l, a, st), std::nullopt) << what << " at a pin of " << c.name();
        }
        EXPECT_EQ(ComponentAt(*l, {1, 1}, st), std::nullopt);
    }
}

} // namespace
} // namespace velmora
