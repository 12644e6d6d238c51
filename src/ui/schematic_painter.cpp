#include "ui/schematic_painter.h"

#include <cmath>

#include "circuits/catalogue.h"
#include "circuits/circuit_design.h"
#include "circuits/components.h"
#include "circuits/standard_values.h"
#include "model/design.h"
#include "ui/svg_surface.h"

namespace velmora {
namespace {

struct Frame {
    const SchematicStyle& st;
    double x(double gx) const { return st.Margin + gx * st.Unit; }
    double y(double gy) const { return st.Margin + gy * st.Unit; }
    PointD at(GridPoint g) const { return {x(g.X), y(g.Y)}; }
};

// The body of a two-pin symbol: its length along the component and its half width.
constexpr double kBodyShare = 0.6; // of the pin-to-pin distance
constexpr double kHalfWidth = 0.2; // of a unit

void Resistor(DrawingSurface& s, PointD a, PointD b, double unit) {
    const double len = std::hypot(b.X - a.X, b.Y - a.Y);
    const double ux = (b.X - a.X) / len, uy = (b.Y - a.Y) / len; // along
    const double nx = -uy, ny = ux;                              // across
    const double body = kBodyShare * len, lead = (len - body) / 2, w = kHalfWidth * unit;
    std::vector<PointD> z{a, {a.X + ux * lead, a.Y + uy * lead}};
    constexpr int kPeaks = 6;
    for (int i = 0; i < kPeaks; ++i) {
        const double t = lead + body * (i + 0.5) / kPeaks, side = (i % 2 == 0) ? w : -w;
        z.push_back({a.X + ux * t + nx * side, a.Y + uy * t + ny * side});
    }
    z.push_back({a.X + ux * (lead + body), a.Y + uy * (lead + body)});
    z.push_back(b);
    s.Polyline(z);
}

void Capacitor(DrawingSurface& s, PointD a, PointD b, double unit) {
    const double len = std::hypot(b.X - a.X, b.Y - a.Y);
    const double ux = (b.X - a.X) / len, uy = (b.Y - a.Y) / len;
    const double nx = -uy, ny = ux;
    const double gap = 0.14 * unit, w = 0.4 * unit;
    const PointD p1{a.X + ux * (len - gap) / 2, a.Y + uy * (len - gap) / 2};
    const PointD p2{a.X + ux * (len + gap) / 2, a.Y + uy * (len + gap) / 2};
    s.Line(a.X, a.Y, p1.X, p1.Y);
    s.Line(p2.X, p2.Y, b.X, b.Y);
    s.Line(p1.X - nx * w, p1.Y - ny * w, p1.X + nx * w, p1.Y + ny * w);
    s.Line(p2.X - nx * w, p2.Y - ny * w, p2.X + nx * w, p2.Y + ny * w);
}

void Ground(DrawingSurface& s, PointD p, double unit) {
    const double drop = 0.3 * unit;
    s.Line(p.X, p.Y, p.X, p.Y + drop);
    for (int i = 0; i < 3; ++i) {
        const double hw = (0.3 - 0.1 * i) * unit, yy = p.Y + drop + i * 0.12 * unit;
        s.Line(p.X - hw, yy, p.X + hw, yy);
    }
}

void Terminal(DrawingSurface& s, PointD p, double unit, const std::string& label, bool left) {
    const double r = 0.12 * unit;
    s.SetBrush(colors::White);
    s.FillRect(p.X - r, p.Y - r, p.X + r, p.Y + r);
    s.Ellipse(p.X - r, p.Y - r, p.X + r, p.Y + r);
    const double tw = s.TextWidth(label), th = s.TextHeight(label);
    s.TextOut(left ? p.X - r - 4 - tw : p.X + r + 4, p.Y - th / 2, label);
}

} // namespace

PointD SchematicSize(const SchematicLayout& l, const SchematicStyle& st) {
    return {2 * st.Margin + l.width * st.Unit, 2 * st.Margin + l.height * st.Unit + 2.5 * st.FontSize};
}

void PaintSchematic(DrawingSurface& s, const SchematicLayout& l,
                    const std::map<std::string, std::string>& values, const std::string& caption,
                    const SchematicStyle& st) {
    const Frame f{st};
    const double u = st.Unit;
    s.SetPen(colors::Black, 1.5);
    s.SetFont("Arial", st.FontSize);
    s.SetTextColor(colors::Text);

    for (const auto& w : l.wires) {
        std::vector<PointD> pts;
        for (GridPoint g : w)
            pts.push_back(f.at(g));
        s.Polyline(pts);
    }
    for (GridPoint g : l.grounds)
        Ground(s, f.at(g), u);

    for (const auto& c : l.parts) {
        const PointD a = f.at(c.pin1), b = f.at(c.pin2());
        if (c.kind == 'R')
            Resistor(s, a, b, u);
        else
            Capacitor(s, a, b, u);
        // The name beside the body: above a horizontal one, right of a vertical one. The
        // value on the other side: below a horizontal one; left of a vertical one in its
        // lower half, clear of the values under the horizontal runs it hangs from.
        const std::string name = c.name();
        const auto v = values.find(name);
        const double mx = (a.X + b.X) / 2, my = (a.Y + b.Y) / 2, off = 0.45 * u, side = 0.5 * u;
        s.SetFont("Arial", st.FontSize, FontBold);
        const double nw = s.TextWidth(name), nh = s.TextHeight(name);
        if (c.vertical)
            s.TextOut(mx + side, my - nh / 2, name);
        else
            s.TextOut(mx - nw / 2, my - off - nh, name);
        s.SetFont("Arial", st.FontSize);
        if (v != values.end() && !v->second.empty()) {
            const double vw = s.TextWidth(v->second);
            if (c.vertical)
                s.TextOut(mx - side - vw, my + 2, v->second);
            else
                s.TextOut(mx - vw / 2, my + off, v->second);
        }
    }

    for (const auto& a : l.opamps) {
        const PointD top = f.at(a.top), out = f.at(a.out());
        const double x0 = top.X + 0.4 * u, x1 = out.X - 0.4 * u;
        const double yt = top.Y - 0.7 * u, yb = top.Y + 2.7 * u, ym = out.Y;
        s.SetBrush(colors::White);
        s.Polyline({{x0, yt}, {x1, ym}, {x0, yb}, {x0, yt}});
        s.Line(top.X, top.Y, x0, top.Y);
        s.Line(top.X, top.Y + 2 * u, x0, top.Y + 2 * u);
        s.Line(x1, ym, out.X, out.Y);
        const double sg = 0.12 * u, sx = x0 + 0.25 * u;
        for (int k = 0; k < 2; ++k) {
            const double yy = top.Y + 2 * u * k;
            const bool plus = (k == 0) != a.minusOnTop;
            s.Line(sx - sg, yy, sx + sg, yy);
            if (plus) s.Line(sx, yy - sg, sx, yy + sg);
        }
        const std::string name = "A" + std::to_string(a.number);
        s.SetFont("Arial", st.FontSize, FontBold);
        s.TextOut(x0 + 0.55 * u, ym - s.TextHeight(name) / 2, name);
        s.SetFont("Arial", st.FontSize);
    }

    // Junction dots: a ring as wide as its radius is a filled disc on every surface.
    const double r = 0.1 * u;
    s.SetPen(colors::Black, r);
    for (GridPoint g : JunctionPoints(l)) {
        const PointD p = f.at(g);
        s.Ellipse(p.X - r / 2, p.Y - r / 2, p.X + r / 2, p.Y + r / 2);
    }
    s.SetPen(colors::Black, 1.5);
    Terminal(s, f.at(l.input), u, "In", true);
    Terminal(s, f.at(l.output), u, "Out", false);

    if (!caption.empty()) {
        const PointD size = SchematicSize(l, st);
        s.TextOut((size.X - s.TextWidth(caption)) / 2, size.Y - 1.8 * st.FontSize, caption);
    }
}

std::optional<std::string> ComponentAt(const SchematicLayout& l, PointD p, const SchematicStyle& st) {
    const Frame f{st};
    const double slack = 3;
    for (const auto& c : l.parts) {
        const PointD a = f.at(c.pin1), b = f.at(c.pin2());
        // The symbol's body: the middle share of the component across its width.
        const double along = (1 - kBodyShare) / 2 * 2 * st.Unit, across = 0.4 * st.Unit;
        double x1 = std::min(a.X, b.X), x2 = std::max(a.X, b.X), y1 = std::min(a.Y, b.Y),
               y2 = std::max(a.Y, b.Y);
        if (c.vertical)
            y1 += along, y2 -= along, x1 -= across, x2 += across;
        else
            x1 += along, x2 -= along, y1 -= across, y2 += across;
        if (c.kind == 'C') { // the plates are short: the whole gap region counts
            if (c.vertical)
                y1 = std::min(y1, (a.Y + b.Y) / 2 - 0.3 * st.Unit),
                y2 = std::max(y2, (a.Y + b.Y) / 2 + 0.3 * st.Unit);
            else
                x1 = std::min(x1, (a.X + b.X) / 2 - 0.3 * st.Unit),
                x2 = std::max(x2, (a.X + b.X) / 2 + 0.3 * st.Unit);
        }
        if (p.X >= x1 - slack && p.X <= x2 + slack && p.Y >= y1 - slack && p.Y <= y2 + slack) return c.name();
    }
    return std::nullopt;
}

std::vector<SchematicPicture> RenderStageSchematics(const TDesign& d, std::vector<std::string>* missing) {
    std::vector<SchematicPicture> out;
    if (d.DesignLevel < LevelComponents) return out;
    for (int i = 1; i <= d.StageCount; ++i) {
        const TStageCircuit& c = d.Circuits[i];
        const CatalogueEntry* e = StageCircuitEntry(d, i);
        if (!e || c.NotRealisable) continue;
        const bool comp = c.CompensationInUse != 0;
        const SchematicLayout* l = FindLayout(e->key, comp);
        const Topology* t = FindTopology(e->key, comp);
        if (!l || !t) {
            if (missing) missing->push_back("stage " + std::to_string(i) + ": " + std::string(e->key));
            continue;
        }
        std::map<std::string, std::string> values;
        for (int r = 1; r <= t->resistors() && r <= kResistorSlots; ++r)
            values["R" + std::to_string(r)] = ResistanceDisplayText(R(c, r));
        for (int k = 1; k <= t->capacitors() && k <= kCapacitorSlots; ++k)
            values["C" + std::to_string(k)] = CapacitanceDisplayText(C(c, k));
        const SchematicStyle st;
        const PointD size = SchematicSize(*l, st);
        SvgSurface svg(size.X, size.Y);
        svg.SetBrush(colors::White);
        svg.FillRect(0, 0, size.X, size.Y);
        PaintSchematic(
            svg, *l, values,
            "Stage " + std::to_string(i) + ": " + std::string(e->name) + (comp ? " (compensated)" : ""), st);
        out.push_back({"stage" + std::to_string(i) + "_" + std::string(e->key) + ".svg", svg.Document()});
    }
    return out;
}

} // namespace velmora
