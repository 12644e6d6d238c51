// The design report: the design as a printed document, composed once and painted on any
// DrawingSurface page by page (the PDF surface of the command line, the printer and the
// PDF writer of the desktop program).
//
// The report shows what the design has reached, in the order it was made: the
// specification and its template, the comparison of the approximations, the chosen
// approximation's responses, the stages with their gains and coefficients, each stage's
// schematic with its component values, the realised responses, the check of every
// realised variant against the specification's mask, the tolerance and temperature
// tables and the tuning instructions.
//
// Pages carry the design's name in the header and "Page i of n" in the footer. The
// layout measures every text with the surface it is laid out for: a text that would run
// past the right edge is wrapped (prose) or set smaller (tables, fixed-pitch listings),
// and a block that does not fit the rest of a page starts the next one, so no text is cut
// at a page edge.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/design.h"
#include "ui/drawing_surface.h"

namespace velmora {

// A page in points (1/72 inch). The printable area is the part of the page a printer
// reaches (10 mm in from each edge); the header, the body and the footer lie within it.
struct ReportGeometry {
    double Width = 595, Height = 842; // A4
    double PrintableInset = 28;       // 10 mm
    double BodyInset = 48;            // left and right edges of the body
    double Top = 58, Bottom = 58;     // body below the header, above the footer
};

// One thing placed on a page.
struct ReportItem {
    enum class Kind { Text, Rule, Shade, Picture } kind = Kind::Text;
    double X = 0, Y = 0, W = 0, H = 0; // Text: top-left corner; Rule: from (X,Y) to (X+W,Y+H)
    std::string Text;
    bool Mono = false;
    double Size = 9; // font size, points
    uint8_t Style = FontRegular;
    Color Colour = colors::Text;
    // Picture: paints on a surface of its native size, scaled by Scale into W x H.
    std::function<void(DrawingSurface&)> Paint;
    double NativeW = 0, NativeH = 0, Scale = 1;
};

class ReportDocument {
  public:
    const std::string& Title() const { return title_; }
    const ReportGeometry& Geometry() const { return geometry_; }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    const std::vector<ReportItem>& Items(int page) const { return pages_.at(page); }
    // Paints page `page` (0-based) with its header and footer; the surface is in points,
    // Geometry().Width x Height().
    void PaintPage(DrawingSurface& s, int page) const;

  private:
    friend class ReportFlow;
    std::string title_;
    ReportGeometry geometry_;
    std::vector<std::vector<ReportItem>> pages_;
    std::shared_ptr<const TDesign> design_; // the copy the pictures draw from
};

// Draws a picture of native size w x h into a region of another surface: every coordinate
// scaled by `scale` and moved to (x, y), pen widths and font sizes scaled with them, the
// drawing clipped to the region (a clip inside the picture stays within it).
class RegionSurface : public DrawingSurface {
  public:
    RegionSurface(DrawingSurface& page, double x, double y, double w, double h, double scale);
    ~RegionSurface() override;
    double Width() const override { return w_; }
    double Height() const override { return h_; }
    void SetPen(Color c, double width, PenStyle style) override { s_.SetPen(c, width * k_, style); }
    void SetBrush(Color c) override { s_.SetBrush(c); }
    void SetFont(const std::string& name, double size, uint8_t style) override {
        s_.SetFont(name, size * k_, style);
    }
    void SetTextColor(Color c) override { s_.SetTextColor(c); }
    double TextWidth(const std::string& t) override { return s_.TextWidth(t) / k_; }
    double TextHeight(const std::string& t) override { return s_.TextHeight(t) / k_; }
    double TextAscent(const std::string& t) override { return s_.TextAscent(t) / k_; }
    void TextOut(double x, double y, const std::string& t) override { s_.TextOut(X(x), Y(y), t); }
    void Line(double x1, double y1, double x2, double y2) override { s_.Line(X(x1), Y(y1), X(x2), Y(y2)); }
    void Polyline(const std::vector<PointD>& points) override;
    void Rectangle(double x1, double y1, double x2, double y2) override {
        s_.Rectangle(X(x1), Y(y1), X(x2), Y(y2));
    }
    void Ellipse(double x1, double y1, double x2, double y2) override {
        s_.Ellipse(X(x1), Y(y1), X(x2), Y(y2));
    }
    void FillRect(double x1, double y1, double x2, double y2) override {
        s_.FillRect(X(x1), Y(y1), X(x2), Y(y2));
    }
    void SetClip(double x1, double y1, double x2, double y2) override;
    void ClearClip() override;

  private:
    double X(double x) const { return x_ + x * k_; }
    double Y(double y) const { return y_ + y * k_; }
    DrawingSurface& s_;
    double x_, y_, w_, h_, k_;
};

// The name in the report's header: the design file's name without its folder, else
// "Untitled design".
std::string ReportTitle(const TDesign& d);

// Lays out the report of the design, measuring text with `measure` (the surface it will be
// painted on, or one with the same fonts). `title` replaces ReportTitle in the header when
// given (a design about to be saved under a name).
ReportDocument LayoutReport(const TDesign& d, DrawingSurface& measure, const ReportGeometry& g = {},
                            const std::string& title = {});

// The whole report as a PDF document.
std::string ReportPdf(const TDesign& d, const std::string& title = {});

class Dialogs;

// File > Export PDF...: nothing before the specification is calculated; else the save
// dialog (*.pdf, in the "Reports" folder, proposing the design's name), the question
// "File already exists. OK to overwrite?" for an existing file, and the report written
// (a complete new file, or the old one kept). A file that cannot be written is reported
// with the system's message. The path written, or nothing.
std::optional<std::string> ExportReportPdf(const TDesign& d, Dialogs& dialogs);

} // namespace velmora
