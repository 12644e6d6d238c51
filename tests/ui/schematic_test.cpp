// Schematic drawings: every layout joins what its netlist joins, and the painter draws
// every name and value once, clear of the strokes and of each other, and finds each
// component under its body.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "circuits/catalogue.h"
#include "circuits/schematic_layouts.h"
#include "support/xml_check.h"
#include "ui/schematic_painter.h"
#include "ui/svg_surface.h"

namespace velmora {
namespace {

struct Box {
    double x1, y1, x2, y2;
};

// An SVG surface that also keeps the geometry it is given: the box of every text and
// every straight stroke (wires, symbol outlines, terminal rings).
class GeometrySurface : public SvgSurface {
  public:
    using SvgSurface::SvgSurface;
    struct Label {
        Box box;
        std::string text;
    };
    std::vector<Label> labels;
    std::vector<Box> strokes; // a segment as its bounding box (wires are axis-parallel)

    void TextOut(double x, double y, const std::string& text) override {
        labels.push_back({{x, y, x + TextWidth(text), y + TextHeight(text)}, text});
        SvgSurface::TextOut(x, y, text);
    }
    void Line(double x1, double y1, double x2, double y2) override {
        Segment({x1, y1}, {x2, y2});
        SvgSurface::Line(x1, y1, x2, y2);
    }
    void Polyline(const std::vector<PointD>& p) override {
        for (std::size_t i = 0; i + 1 < p.size(); ++i)
            Segment(p[i], p[i + 1]);
        SvgSurface::Polyline(p);
    }
    void Ellipse(double x1, double y1, double x2, double y2) override {
        strokes.push_back({x1, y1, x2, y2});
        SvgSurface::Ellipse(x1, y1, x2, y2);
    }

    // Sloped strokes (zigzags, the op amps' sides) are cut into short pieces so that
    // their boxes follow the line rather than cover the whole triangle.
    void Segment(PointD a, PointD b) {
        constexpr int kPieces = 12;
        const bool straight = a.X == b.X || a.Y == b.Y;
        const int n = straight ? 1 : kPieces;
        for (int i = 0; i < n; ++i) {
            const PointD p{a.X + (b.X - a.X) * i / n, a.Y + (b.Y - a.Y) * i / n};
            const PointD q{a.X + (b.X - a.X) * (i + 1) / n, a.Y + (b.Y - a.Y) * (i + 1) / n};
            strokes.push_back(
                {std::min(p.X, q.X), std::min(p.Y, q.Y), std::max(p.X, q.X), std::max(p.Y, q.Y)});
        }
    }
};

// Whether two boxes overlap once the first is grown by `gap` pixels on every side.
bool Overlap(const Box& a, const Box& b, double gap) {
    return a.x1 - gap < b.x2 && b.x1 < a.x2 + gap && a.y1 - gap < b.y2 && b.y1 < a.y2 + gap;
}

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

// Every drawn circuit paints to well-formed SVG with each name and given value on it, and
// a click on each resistor or capacitor finds that component and nothing else. Painted
// with the widest texts the calculation tab shows (four significant characters and a
// unit) and the longest caption, and without values, each label keeps clear of every
// stroke and of every other label, and inside the picture; the gap leaves room for a
// screen font a little wider than the SVG metrics.
TEST(SchematicPainter, DrawsNamesValuesClearOfStrokesAndFindsComponentsUnderPoints) {
    constexpr double kGap = 2.5; // pixels
    const SchematicStyle st;
    for (const Topology& t : AllTopologies()) {
        const SchematicLayout* l = FindLayout(t.key, t.compensated);
        if (!l) continue; // the connection test reports a missing drawing
        const std::string what = t.key + (t.compensated ? " compensated" : "");
        const PointD size = SchematicSize(*l, st);
        std::map<std::string, std::string> values;
        for (const auto& c : l->parts)
            values[c.name()] = "v" + c.name() + "x";
        GeometrySurface svg(size.X, size.Y);
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

        for (const bool withValues : {false, true}) {
            for (const auto& c : l->parts)
                values[c.name()] = c.kind == 'R' ? "47.5M" : "47.5nF";
            if (!withValues) values.clear();
            GeometrySurface s(size.X, size.Y);
            PaintSchematic(s, *l, values,
                           "Stage 12: " + std::string(EntryByKey(t.key)->name) +
                               (t.compensated ? " (compensated)" : ""),
                           st);
            for (std::size_t i = 0; i < s.labels.size(); ++i) {
                const auto& a = s.labels[i];
                EXPECT_TRUE(a.box.x1 >= 0 && a.box.y1 >= 0 && a.box.x2 <= size.X && a.box.y2 <= size.Y)
                    << what << ": '" << a.text << "' is cut off";
                for (std::size_t j = i + 1; j < s.labels.size(); ++j)
                    EXPECT_FALSE(Overlap(a.box, s.labels[j].box, kGap))
                        << what << ": '" << a.text << "' overlaps '" << s.labels[j].text << "'";
                for (const Box& b : s.strokes)
                    if (Overlap(a.box, b, kGap)) {
                        ADD_FAILURE() << what << ": '" << a.text << "' lies on a stroke at (" << b.x1 << ", "
                                      << b.y1 << ")";
                        break;
                    }
            }
        }
    }
}

} // namespace
} // namespace velmora
