#include "qt_surface.h"

#include <QPolygonF>

namespace velmora::gui {

QColor ToQColor(Color c) {
    return QColor(c.R, c.G, c.B);
}

QtSurface::QtSurface(QPainter& painter, double width, double height)
    : p_(painter), width_(width), height_(height) {
    p_.setRenderHint(QPainter::Antialiasing, true);
    p_.setRenderHint(QPainter::TextAntialiasing, true);
    pen_ = QPen(Qt::black, 1.0);
    pen_.setCapStyle(Qt::FlatCap);
    brush_ = Qt::white;
    font_ = QFont("Arial");
    font_.setPixelSize(12);
}

void QtSurface::SetPen(Color color, double width, PenStyle style) {
    pen_.setColor(ToQColor(color));
    pen_.setWidthF(width);
    pen_.setStyle(style == PenStyle::Dash  ? Qt::DashLine
                  : style == PenStyle::Dot ? Qt::DotLine
                                           : Qt::SolidLine);
}

void QtSurface::SetBrush(Color color) {
    brush_ = ToQColor(color);
}

void QtSurface::SetFont(const std::string& name, double size, uint8_t style) {
    font_ = QFont(QString::fromStdString(name));
    // Painters give sizes in pixels of the picture.
    font_.setPixelSize(std::max(1, static_cast<int>(size + 0.5)));
    font_.setBold(style & FontBold);
    font_.setItalic(style & FontItalic);
    font_.setUnderline(style & FontUnderline);
}

double QtSurface::TextWidth(const std::string& text) {
    return QFontMetricsF(font_).horizontalAdvance(QString::fromStdString(text));
}

double QtSurface::TextHeight(const std::string&) {
    return QFontMetricsF(font_).height();
}

double QtSurface::TextAscent(const std::string&) {
    return QFontMetricsF(font_).ascent();
}

void QtSurface::TextOut(double x, double y, const std::string& text) {
    p_.setFont(font_);
    p_.setPen(ToQColor(text_));
    p_.drawText(QPointF(x, y + QFontMetricsF(font_).ascent()), QString::fromStdString(text));
}

void QtSurface::Line(double x1, double y1, double x2, double y2) {
    p_.setPen(pen_);
    p_.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void QtSurface::Polyline(const std::vector<PointD>& points) {
    QPolygonF poly;
    poly.reserve(static_cast<int>(points.size()));
    for (const PointD& pt : points)
        poly << QPointF(pt.X, pt.Y);
    p_.setPen(pen_);
    p_.drawPolyline(poly);
}

void QtSurface::Rectangle(double x1, double y1, double x2, double y2) {
    p_.setPen(pen_);
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

void QtSurface::Ellipse(double x1, double y1, double x2, double y2) {
    p_.setPen(pen_);
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

void QtSurface::FillRect(double x1, double y1, double x2, double y2) {
    p_.fillRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized(), brush_);
}

void QtSurface::SetClip(double x1, double y1, double x2, double y2) {
    p_.setClipRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

void QtSurface::ClearClip() {
    p_.setClipping(false);
}

} // namespace velmora::gui
