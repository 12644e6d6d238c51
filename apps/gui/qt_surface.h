// DrawingSurface on a QPainter: the window pictures, images for the clipboard and the
// screenshots, and printing all draw through it.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include "ui/drawing_surface.h"

namespace velmora::gui {

class QtSurface : public DrawingSurface {
  public:
    // Draws on `painter` into a picture of width x height pixels.
    QtSurface(QPainter& painter, double width, double height);

    double Width() const override { return width_; }
    double Height() const override { return height_; }
    void SetPen(Color color, double width, PenStyle style) override;
    void SetBrush(Color color) override;
    void SetFont(const std::string& name, double size, uint8_t style) override;
    void SetTextColor(Color color) override { text_ = color; }
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

  private:
    QPainter& p_;
    double width_, height_;
    QPen pen_;
    QColor brush_;
    QFont font_;
    Color text_;
};

QColor ToQColor(Color c);

} // namespace velmora::gui
