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

} // namespace velmora
