#include "ui/comparison_painter.h"

#include <algorithm>
#include <vector>

namespace velmora {

namespace {

constexpr const char* kFont = "Arial";
constexpr Color kHeaderShade{235, 238, 243};
constexpr Color kLine{150, 150, 150};

// Column widths and row heights of the grid, all measured with the surface's fonts.
struct Grid {
    std::vector<double> Widths; // title column first, then one per approximation
    double Pad = 0, Line = 0;   // horizontal padding inside a cell, one line of text
    double HeaderHeight = 0, RowHeight = 0;
    double Width() const {
        double w = 0;
        for (double c : Widths)
            w += c;
        return w;
    }
    double Height(size_t rows) const { return HeaderHeight + RowHeight * static_cast<double>(rows); }
};

Grid Measure(DrawingSurface& s, const ComparisonTable& t, double size) {
    Grid g;
    g.Pad = size * 0.8;
    s.SetFont(kFont, size, FontBold);
    g.Line = s.TextHeight("Xg");
    g.HeaderHeight = 2 * g.Line + size * 0.6;
    g.RowHeight = g.Line + size * 0.5;
    double titles = s.TextWidth(t.cornerTitle);
    s.SetFont(kFont, size, FontRegular);
    for (const std::string& r : t.rowTitles)
        titles = std::max(titles, s.TextWidth(r));
    g.Widths.push_back(titles + 2 * g.Pad);
    for (size_t c = 0; c < t.colHeaders.size(); ++c) {
        s.SetFont(kFont, size, FontBold);
        double w = std::max(s.TextWidth(t.colHeaders[c][0]), s.TextWidth(t.colHeaders[c][1]));
        s.SetFont(kFont, size, FontRegular);
        for (const auto& row : t.cells)
            if (c < row.size()) w = std::max(w, s.TextWidth(row[c].text));
        g.Widths.push_back(w + 2 * g.Pad);
    }
    return g;
}

} // namespace

PointD ComparisonTableSize(DrawingSurface& s, const ComparisonTable& t, double fontSize) {
    if (t.empty()) return {};
    const Grid g = Measure(s, t, fontSize);
    return {g.Width() + 1, g.Height(t.rowTitles.size()) + 1};
}

void PaintComparisonTable(DrawingSurface& s, const ComparisonTable& t, double fontSize) {
    if (t.empty()) return;
    const Grid g = Measure(s, t, fontSize);
    const size_t rows = std::min(t.rowTitles.size(), t.cells.size());
    const double w = g.Width(), h = g.Height(rows);
    s.SetBrush(colors::White);
    s.FillRect(0, 0, w + 1, h + 1);
    s.SetBrush(kHeaderShade);
    s.FillRect(0, 0, w, g.HeaderHeight);

    // Texts centred in their cells, the row titles left-aligned.
    auto centred = [&](double x, double width, double y, const std::string& text) {
        s.TextOut(x + (width - s.TextWidth(text)) / 2, y, text);
    };
    s.SetTextColor(colors::Text);
    s.SetFont(kFont, fontSize, FontBold);
    const double headerTop = (g.HeaderHeight - 2 * g.Line) / 2;
    s.TextOut(g.Pad, (g.HeaderHeight - g.Line) / 2, t.cornerTitle);
    double x = g.Widths[0];
    for (size_t c = 0; c < t.colHeaders.size(); ++c) {
        const auto& [top, bottom] = t.colHeaders[c];
        // A one-line header sits in the middle of the two-line row.
        if (bottom.empty())
            centred(x, g.Widths[c + 1], (g.HeaderHeight - g.Line) / 2, top);
        else {
            centred(x, g.Widths[c + 1], headerTop, top);
            centred(x, g.Widths[c + 1], headerTop + g.Line, bottom);
        }
        x += g.Widths[c + 1];
    }
    s.SetFont(kFont, fontSize, FontRegular);
    const double inset = (g.RowHeight - g.Line) / 2;
    for (size_t r = 0; r < rows; ++r) {
        const double y = g.HeaderHeight + g.RowHeight * static_cast<double>(r);
        s.SetTextColor(colors::Text);
        s.TextOut(g.Pad, y + inset, t.rowTitles[r]);
        x = g.Widths[0];
        for (size_t c = 0; c < t.cells[r].size() && c + 1 < g.Widths.size(); ++c) {
            const ComparisonCell& cell = t.cells[r][c];
            s.SetTextColor(cell.red ? kComparisonRed : colors::Text);
            centred(x, g.Widths[c + 1], y + inset, cell.text);
            x += g.Widths[c + 1];
        }
    }

    // The rules: a frame, a line under the header and under every row, one between columns.
    s.SetPen(kLine, 1);
    for (size_t r = 1; r < rows; ++r) {
        const double y = g.HeaderHeight + g.RowHeight * static_cast<double>(r);
        s.Line(0, y, w, y);
    }
    x = 0;
    for (size_t c = 0; c + 1 < g.Widths.size(); ++c) {
        x += g.Widths[c];
        s.Line(x, 0, x, h);
    }
    s.SetPen(colors::Frame, 1.2);
    s.Line(0, g.HeaderHeight, w, g.HeaderHeight);
    s.Rectangle(0, 0, w, h);
}

} // namespace velmora
