#include "ui/filter_template.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/design.h"
#include "ui/graph_painter.h"
#include "ui/tfm_par_ent.h"

namespace velmora {

namespace {

constexpr const char* kFont = "Arial";

std::string Labelled(const std::string& symbol, const std::string& text, const std::string& unit) {
    return symbol + " = " + (text.empty() ? "?" : text) + " " + unit;
}

// The bands of a template on a normalised frequency axis 0..1 (not to scale: the
// picture explains the entries, it does not plot them).
struct Band {
    double U1, U2;
    bool Pass;
};

std::vector<Band> BandsOf(uint8_t type) {
    switch (type) {
    case Highpass:
        return {{0.0, 0.4, false}, {0.6, 1.0, true}};
    case Bandpass:
        return {{0.0, 0.2, false}, {0.35, 0.65, true}, {0.8, 1.0, false}};
    case Bandstop:
        return {{0.0, 0.2, true}, {0.35, 0.65, false}, {0.8, 1.0, true}};
    default:
        return {{0.0, 0.4, true}, {0.6, 1.0, false}};
    }
}

// A sketched response 0 (0 dB) .. 1 (the bottom of the picture): flat with a small
// ripple in the passbands, falling through each transition band below the stopband
// limit (at 0.7).
double SketchedLoss(uint8_t type, double u) {
    auto fall = [](double x) { return 0.95 / (1.0 + std::exp(-x * 30.0)); };
    const double ripple = 0.06 * std::pow(std::sin(u * 18.0), 2);
    double loss = 0;
    switch (type) {
    case Highpass:
        loss = fall(0.5 - u);
        break;
    case Bandpass:
        loss = fall(std::fabs(u - 0.5) - 0.225);
        break;
    case Bandstop:
        loss = fall(0.225 - std::fabs(u - 0.5));
        break;
    default:
        loss = fall(u - 0.5);
    }
    // The ripple fades out as the response leaves the passband.
    return loss + ripple * std::max(0.0, 1.0 - loss / 0.05);
}

// A horizontal dimension line with arrow heads between x1 and x2 at y, its text above it.
void Dimension(DrawingSurface& s, double x1, double x2, double y, const std::string& text) {
    s.Line(x1, y, x2, y);
    const double h = 4;
    s.Line(x1, y, x1 + h, y - h);
    s.Line(x1, y, x1 + h, y + h);
    s.Line(x2, y, x2 - h, y - h);
    s.Line(x2, y, x2 - h, y + h);
    const double w = s.TextWidth(text);
    s.TextOut((x1 + x2 - w) / 2, y - s.TextHeight(text) - 2, text);
}

} // namespace

SpecTemplate SpecTemplateOf(const TfmParEnt& form, uint8_t filterType, bool hz) {
    SpecTemplate t;
    t.FilterType = filterType;
    t.Hz = hz;
    t.OrderForced = form.CheckBox1Checked;
    t.Apb = (form.NumEdit1.Text.empty() ? "?" : form.NumEdit1.Text) + " dB";
    t.Asb = (form.NumEdit2.Text.empty() ? "?" : form.NumEdit2.Text) + " dB";
    const bool band = filterType == Bandpass || filterType == Bandstop;
    const std::string f = hz ? "f" : "w";
    t.PassEdge = Labelled(band ? "Bpb" : f + "pb", form.NumEdit3.Text, form.CB1.Text());
    t.StopEdge = Labelled(band ? "Bsb" : f + "sb", form.NumEdit4.Text, form.CB2.Text());
    if (band) t.Centre = Labelled(f + "0", form.NumEdit5.Text, form.CB3.Text());
    return t;
}

void PaintSpecTemplate(DrawingSurface& s, const SpecTemplate& t) {
    const double W = s.Width(), H = s.Height();
    s.SetBrush(colors::White);
    s.FillRect(0, 0, W, H);
    const double font = std::clamp(H / 28.0, 10.0, 14.0);
    s.SetFont(kFont, font);
    s.SetTextColor(colors::Text);

    // Plot frame: room on the left for the attenuation labels, below for the edges.
    const double left = std::max(0.16 * W, s.TextWidth("-" + t.Asb) + 16);
    const double right = W - 0.04 * W, top = 0.1 * H, bottom = H - 4.6 * font;
    const double y0 = top + 0.08 * (bottom - top);
    auto yOfLoss = [&](double loss) { return y0 + loss * (bottom - y0); };
    auto xOf = [&](double u) { return left + u * (right - left); };
    const double yApb = yOfLoss(0.15), yAsb = yOfLoss(0.7);

    // The forbidden regions: below -Apb and above 0 dB over a passband, above -Asb over
    // a stopband.
    const std::vector<Band> bands = BandsOf(t.FilterType);
    s.SetBrush(kMaskShade);
    for (const Band& b : bands) {
        if (b.Pass) {
            s.FillRect(xOf(b.U1), yApb, xOf(b.U2), bottom);
            s.FillRect(xOf(b.U1), top, xOf(b.U2), y0);
        } else {
            s.FillRect(xOf(b.U1), top, xOf(b.U2), yAsb);
        }
    }
    s.SetPen(kMaskLine, 1.5);
    for (const Band& b : bands) {
        const double y = b.Pass ? yApb : yAsb;
        s.Line(xOf(b.U1), y, xOf(b.U2), y);
        if (b.Pass) s.Line(xOf(b.U1), y0, xOf(b.U2), y0);
        // The band's inner edges, down (or up) to the axis.
        for (double u : {b.U1, b.U2})
            if (u > 0 && u < 1) s.Line(xOf(u), b.Pass ? yApb : top, xOf(u), b.Pass ? bottom : yAsb);
    }

    // The sketched response.
    std::vector<PointD> curve;
    for (int i = 0; i <= 200; ++i) {
        const double u = i / 200.0;
        curve.push_back({xOf(u), yOfLoss(SketchedLoss(t.FilterType, u))});
    }
    s.SetPen(ApproximationColor(0), 2);
    s.Polyline(curve);

    // Axes.
    s.SetPen(colors::Frame, 1.2);
    s.Line(left, top - 0.05 * H, left, bottom);
    s.Line(left, bottom, right, bottom);
    s.SetTextColor(colors::Text);
    s.TextOut(left - s.TextWidth("Gain (dB)") / 2, 0.01 * H, "Gain (dB)");
    const std::string fCaption = t.Hz ? "f" : "w";
    s.TextOut(right - s.TextWidth(fCaption), bottom + 0.2 * font, fCaption);

    // Attenuation levels on the left.
    auto level = [&](double y, const std::string& text) {
        s.SetPen(colors::Grid, 1, PenStyle::Dash);
        s.Line(left, y, right, y);
        s.TextOut(left - s.TextWidth(text) - 6, y - s.TextHeight(text) / 2, text);
    };
    level(y0, "0 dB");
    level(yApb, "-" + t.Apb);
    level(yAsb, t.OrderForced ? "(-" + t.Asb + ")" : "-" + t.Asb);

    // Edges below the axis: the passband on the first row, the stopband on the second.
    s.SetPen(colors::Text, 1);
    const double row1 = bottom + 0.4 * font, row2 = bottom + 1.8 * font;
    auto centred = [&](double x, double y, const std::string& text) {
        const double w = s.TextWidth(text);
        s.TextOut(std::clamp(x - w / 2, 2.0, W - w - 2), y, text);
    };
    switch (t.FilterType) {
    case Highpass:
        centred(xOf(0.6), row1, t.PassEdge);
        centred(xOf(0.4), row2, t.StopEdge);
        break;
    case Bandpass:
    case Bandstop: {
        // The passband's width spans the passband edges, the stopband's the stopband edges.
        const bool bp = t.FilterType == Bandpass;
        const double passU = bp ? 0.35 : 0.2, stopU = bp ? 0.2 : 0.35;
        s.SetPen(colors::Text, 1);
        Dimension(s, xOf(passU), xOf(1 - passU), bp ? yOfLoss(0.93) : yOfLoss(0.4), t.PassEdge);
        Dimension(s, xOf(stopU), xOf(1 - stopU), bp ? yOfLoss(0.4) : yOfLoss(0.93), t.StopEdge);
        s.SetPen(colors::Frame, 1, PenStyle::Dot);
        s.Line(xOf(0.5), y0, xOf(0.5), bottom);
        centred(xOf(0.5), row1, t.Centre);
        break;
    }
    default:
        centred(xOf(0.4), row1, t.PassEdge);
        centred(xOf(0.6), row2, t.StopEdge);
    }
}

} // namespace velmora
