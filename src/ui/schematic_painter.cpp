#include "ui/schematic_painter.h"

#include <algorithm>
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

// A box on the picture, in pixels.
struct Box {
    double x1, y1, x2, y2;
    bool Meets(const Box& o, double gap) const {
        return x1 - gap < o.x2 && o.x1 < x2 + gap && y1 - gap < o.y2 && o.y1 < y2 + gap;
    }
};

// Passes every call on to the picture and keeps the boxes of what was drawn, so that the
// labels can be put where they cross nothing. A sloped stroke (a zigzag, an op amp's
// side) is kept as a chain of small boxes that follows it.
class Occupancy : public DrawingSurface {
  public:
    explicit Occupancy(DrawingSurface& s) : s_(s) {}
    std::vector<Box> strokes, texts;

    double Width() const override { return s_.Width(); }
    double Height() const override { return s_.Height(); }
    void SetPen(Color c, double w = 1.0, PenStyle st = PenStyle::Solid) override { s_.SetPen(c, w, st); }
    void SetBrush(Color c) override { s_.SetBrush(c); }
    void SetFont(const std::string& n, double size, uint8_t st = FontRegular) override {
        s_.SetFont(n, size, st);
    }
    void SetTextColor(Color c) override { s_.SetTextColor(c); }
    double TextWidth(const std::string& t) override { return s_.TextWidth(t); }
    double TextHeight(const std::string& t) override { return s_.TextHeight(t); }
    double TextAscent(const std::string& t) override { return s_.TextAscent(t); }
    void TextOut(double x, double y, const std::string& t) override {
        texts.push_back({x, y, x + s_.TextWidth(t), y + s_.TextHeight(t)});
        s_.TextOut(x, y, t);
    }
    void Line(double x1, double y1, double x2, double y2) override {
        Segment({x1, y1}, {x2, y2});
        s_.Line(x1, y1, x2, y2);
    }
    void Polyline(const std::vector<PointD>& p) override {
        for (std::size_t i = 0; i + 1 < p.size(); ++i)
            Segment(p[i], p[i + 1]);
        s_.Polyline(p);
    }
    void Rectangle(double x1, double y1, double x2, double y2) override {
        strokes.push_back({std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)});
        s_.Rectangle(x1, y1, x2, y2);
    }
    void Ellipse(double x1, double y1, double x2, double y2) override {
        strokes.push_back({std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)});
        s_.Ellipse(x1, y1, x2, y2);
    }
    void FillRect(double x1, double y1, double x2, double y2) override { s_.FillRect(x1, y1, x2, y2); }
    void SetClip(double x1, double y1, double x2, double y2) override { s_.SetClip(x1, y1, x2, y2); }
    void ClearClip() override { s_.ClearClip(); }

    // How many drawn things the boxes would touch, counting a box outside the picture
    // (given by its size) as touching.
    int Conflicts(const std::vector<Box>& boxes, PointD size, double gap) const {
        int n = 0;
        for (const Box& b : boxes) {
            if (b.x1 < 0 || b.y1 < 0 || b.x2 > size.X || b.y2 > size.Y) ++n;
            for (const Box& o : strokes)
                n += b.Meets(o, gap);
            for (const Box& o : texts)
                n += b.Meets(o, gap);
        }
        return n;
    }

  private:
    void Segment(PointD a, PointD b) {
        const bool straight = a.X == b.X || a.Y == b.Y;
        const int n = straight ? 1 : 12;
        for (int i = 0; i < n; ++i) {
            const PointD p{a.X + (b.X - a.X) * i / n, a.Y + (b.Y - a.Y) * i / n};
            const PointD q{a.X + (b.X - a.X) * (i + 1) / n, a.Y + (b.Y - a.Y) * (i + 1) / n};
            strokes.push_back(
                {std::min(p.X, q.X), std::min(p.Y, q.Y), std::max(p.X, q.X), std::max(p.Y, q.Y)});
        }
    }
    DrawingSurface& s_;
};

// Where a component's name and value go. The first placement that touches nothing is
// taken, in the order a reader expects them: beside a horizontal component the name
// above and the value below its body, or both on one side; beside a vertical one both
// on the right, the name over the value, else both on the left, else split.
struct Placement {
    PointD name, value;
};
// h is the step from one line to the next: the text height and a gap.
std::vector<Placement> Candidates(bool vertical, PointD mid, double nw, double vw, double h, double off) {
    const double x = mid.X, y = mid.Y;
    if (!vertical)
        return {{{x - nw / 2, y - off - h}, {x - vw / 2, y + off}},
                {{x - nw / 2, y - off - 2 * h}, {x - vw / 2, y - off - h}},
                {{x - nw / 2, y + off}, {x - vw / 2, y + off + h}},
                {{x - nw / 2, y + off + h}, {x - vw / 2, y - off - h}}};
    return {{{x + off, y - h}, {x + off, y}},
            {{x - off - nw, y - h}, {x - off - vw, y}},
            {{x + off, y - h / 2}, {x - off - vw, y - h / 2}},
            {{x - off - nw, y - h / 2}, {x + off, y - h / 2}},
            {{x + off, y - 2 * h}, {x + off, y + h}},
            {{x - off - nw, y - 2 * h}, {x - off - vw, y + h}}};
}

} // namespace

// Room under the drawing for a caption of up to two lines.
constexpr double kCaptionShare = 3.3; // of the font size

PointD SchematicSize(const SchematicLayout& l, const SchematicStyle& st) {
    return {2 * st.Margin + l.width * st.Unit,
            2 * st.Margin + l.height * st.Unit + kCaptionShare * st.FontSize};
}

void PaintSchematic(DrawingSurface& target, const SchematicLayout& l,
                    const std::map<std::string, std::string>& values, const std::string& caption,
                    const SchematicStyle& st) {
    const Frame f{st};
    const double u = st.Unit;
    const PointD size = SchematicSize(l, st);
    Occupancy s(target);
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
        if (c.kind == 'R')
            Resistor(s, f.at(c.pin1), f.at(c.pin2()), u);
        else
            Capacitor(s, f.at(c.pin1), f.at(c.pin2()), u);
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

    // The caption under the drawing, broken at a space onto a second line when it is
    // wider than the picture.
    if (!caption.empty()) {
        const double lineH = s.TextHeight(caption), room = size.X - 8;
        const double top = 2 * st.Margin + l.height * st.Unit + 0.4 * st.FontSize;
        std::string first = caption, second;
        if (s.TextWidth(caption) > room) {
            for (std::size_t cut = caption.rfind(' '); cut != std::string::npos && cut > 0;
                 cut = caption.rfind(' ', cut - 1)) {
                if (s.TextWidth(caption.substr(0, cut)) <= room) {
                    first = caption.substr(0, cut), second = caption.substr(cut + 1);
                    break;
                }
            }
        }
        const double y = second.empty() ? top + lineH / 2 : top;
        s.TextOut((size.X - s.TextWidth(first)) / 2, y, first);
        if (!second.empty()) s.TextOut((size.X - s.TextWidth(second)) / 2, y + lineH, second);
    }

    // The names and values last, each where it crosses nothing drawn before it.
    constexpr double kGap = 3;   // pixels between a label and anything else
    const double off = 0.55 * u; // from the component's axis: clear of the widest symbol
    for (const auto& c : l.parts) {
        const PointD a = f.at(c.pin1), b = f.at(c.pin2());
        const PointD mid{(a.X + b.X) / 2, (a.Y + b.Y) / 2};
        const std::string name = c.name();
        const auto v = values.find(name);
        const std::string value = v == values.end() ? std::string() : v->second;
        s.SetFont("Arial", st.FontSize, FontBold);
        const double nw = s.TextWidth(name), h = s.TextHeight(name);
        s.SetFont("Arial", st.FontSize);
        const double vw = value.empty() ? 0 : s.TextWidth(value);
        const std::vector<Placement> places = Candidates(c.vertical, mid, nw, vw, h + kGap, off);
        const Placement* best = &places.front();
        int fewest = -1;
        for (const Placement& p : places) {
            std::vector<Box> boxes{{p.name.X, p.name.Y, p.name.X + nw, p.name.Y + h}};
            if (!value.empty()) boxes.push_back({p.value.X, p.value.Y, p.value.X + vw, p.value.Y + h});
            const int n = s.Conflicts(boxes, size, kGap);
            if (fewest < 0 || n < fewest) best = &p, fewest = n;
            if (n == 0) break;
        }
        s.SetFont("Arial", st.FontSize, FontBold);
        s.TextOut(best->name.X, best->name.Y, name);
        s.SetFont("Arial", st.FontSize);
        if (!value.empty()) s.TextOut(best->value.X, best->value.Y, value);
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
