// PdfSurface: a DrawingSurface that writes a PDF 1.4 document of one or more pages,
// without any library: vector lines, polylines, rectangles, ellipses, fills, clipping and
// text in the standard fonts every PDF reader carries (Helvetica in its four styles for
// any family, Courier for a family whose name says it is fixed-pitch).
//
// The standard fonts are not embedded, so text is measured with their published advance
// widths (the AFM metrics, 1/1000 em per character); a reader lays the text out to
// exactly the width measured. Text goes out in WinAnsiEncoding: Latin-1 characters keep
// their shape, others print as '?'.
//
// Coordinates are in points (1/72 inch) from the top-left corner of the page, y downwards,
// as on every DrawingSurface; the page is flipped to PDF's y-up space on output.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "ui/drawing_surface.h"

namespace velmora {

// A4 portrait in points.
inline constexpr double kA4Width = 595.0, kA4Height = 842.0;

class PdfSurface : public DrawingSurface {
  public:
    // The first page is open at once.
    PdfSurface(double width = kA4Width, double height = kA4Height);

    double Width() const override { return width_; }
    double Height() const override { return height_; }
    void SetPen(Color color, double width = 1.0, PenStyle style = PenStyle::Solid) override;
    void SetBrush(Color color) override;
    void SetFont(const std::string& name, double size, uint8_t style = FontRegular) override;
    void SetTextColor(Color color) override;
    double TextWidth(const std::string& text) override;
    double TextHeight(const std::string& text) override;
    double TextAscent(const std::string& text) override;
    void TextOut(double x, double y, const std::string& text) override;
    void Line(double x1, double y1, double x2, double y2) override;
    void Polyline(const std::vector<PointD>& points) override;
    void Rectangle(double x1, double y1, double x2, double y2) override;
    void Ellipse(double x1, double y1, double x2, double y2) override;
    void FillRect(double x1, double y1, double x2, double y2) override;
    void SetClip(double x1, double y1, double x2, double y2) override;
    void ClearClip() override;

    // Ends the current page and opens a new, empty one with the same pen, brush and font.
    void NewPage();
    int PageCount() const { return static_cast<int>(pages_.size()) + 1; }

    // The complete document (the pages so far, the open one last).
    std::string Document() const;

  private:
    // The font resource of the current family and style: /F1../F4 Helvetica, /F5, /F6 Courier.
    int FontIndex() const;
    void Stroke(); // sets the stroke state on the page when it changed
    void Fill();
    std::string Y(double y) const; // a y coordinate flipped into PDF space

    double width_, height_;
    Color pen_ = colors::Black;
    double penWidth_ = 1;
    PenStyle penStyle_ = PenStyle::Solid;
    Color brush_ = colors::White;
    bool mono_ = false;
    double fontSize_ = 12;
    uint8_t fontStyle_ = FontRegular;
    Color textColor_ = colors::Black;
    bool clipped_ = false;
    // What the page's graphics state holds now; invalid after a clip ends (Q restores).
    bool strokeSet_ = false, fillSet_ = false;
    std::ostringstream page_;
    std::vector<std::string> pages_; // finished pages' content streams
};

// The advance width of a text in a standard font, in 1/1000 em: Helvetica (bold or not)
// or Courier. Bytes of UTF-8 sequences count once per character.
double StandardFontAdvance(const std::string& text, bool bold, bool mono);

} // namespace velmora
