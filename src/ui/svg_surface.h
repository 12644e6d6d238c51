// SvgSurface: a DrawingSurface that records the drawing as an SVG 1.1 document, for
// the command line's plots and for tests.
//
// SVG leaves text measurement to the viewer, so TextWidth uses the advance widths of
// the common sans-serif face (Helvetica/Arial metrics, 1/1000 em per character); the
// document names that face first, so a viewer lays the text out to about the
// measured width. Every text is escaped and every number is finite, so the document
// is always well-formed XML.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "ui/drawing_surface.h"

namespace velmora {

class SvgSurface : public DrawingSurface {
  public:
    SvgSurface(double width, double height);

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

    // The complete document.
    std::string Document() const;

  private:
    std::string StrokeAttributes() const;

    double width_, height_;
    Color pen_ = colors::Black;
    double penWidth_ = 1;
    PenStyle penStyle_ = PenStyle::Solid;
    Color brush_ = colors::White;
    std::string fontName_ = "Arial";
    double fontSize_ = 12;
    uint8_t fontStyle_ = FontRegular;
    Color textColor_ = colors::Black;
    std::ostringstream defs_;
    std::ostringstream body_;
    int clipCount_ = 0;
    bool clipOpen_ = false;
};

// A text made safe for XML character data and attribute values: the five special
// characters as entities, control characters and malformed UTF-8 as '?'.
std::string XmlEscape(const std::string& text);

} // namespace velmora
