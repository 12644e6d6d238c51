#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "circuits/catalogue.h"
#include "circuits/schematic_layouts.h"
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

// Every drawing, plain and compensated, painted with its names and values of the widest
// texts the calculation tab shows (four significant characters and a unit) and the
// longest caption, keeps each label clear of every stroke and of every other label, and
// inside the picture. The gap leaves room for a screen font a little wider than the SVG
// metrics.
TEST(SchematicLabels, ClearOfWiresSymbolsAndEachOther) {
    constexpr double kGap = 2.5; // pixels
    const SchematicStyle st;
    for (const Topology& t : AllTopologies()) {
        const SchematicLayout* l = FindLayout(t.key, t.compensated);
        if (!l) continue; // the connection test reports a missing drawing
        const std::string what = t.key + (t.compensated ? " compensated" : "");
        for (const bool withValues : {false, true}) {
            std::map<std::string, std::string> values;
            if (withValues)
                for (const auto& c : l->parts)
                    values[c.name()] = c.kind == 'R' ? "47.5M" : "47.5nF";
            const PointD size = SchematicSize(*l, st);
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
