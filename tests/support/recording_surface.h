// A DrawingSurface that records every call as a line of text, with simple metrics that
// make positions easy to work out by hand: each character (UTF-8 code point) is half
// the font size wide, a line is 1.25 font sizes high and the baseline lies one font
// size below the top.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "ui/drawing_surface.h"

namespace velmora::test {

class RecordingSurface : public DrawingSurface {
  public:
    struct Text {
        double x, y;
        std::string text, font;
        double size;
        uint8_t style;
        Color colour;
    };
    std::vector<std::string> log; // every drawing call
    std::vector<Text> texts;      // the texts drawn, with their state

    double Width() const override { return 1000; }
    double Height() const override { return 1000; }
    void SetPen(Color c, double, PenStyle) override { pen_ = c; }
    void SetBrush(Color c) override { brush_ = c; }
    void SetFont(const std::string& name, double size, uint8_t style) override {
        font_ = name;
        size_ = size;
        style_ = style;
    }
    void SetTextColor(Color c) override { colour_ = c; }
    double TextWidth(const std::string& text) override { return CodePoints(text) * size_ / 2; }
    double TextHeight(const std::string&) override { return size_ * 1.25; }
    double TextAscent(const std::string&) override { return size_; }
    void TextOut(double x, double y, const std::string& text) override {
        texts.push_back({x, y, text, font_, size_, style_, colour_});
        log.push_back("text " + Num(x) + "," + Num(y) + " '" + text + "'");
    }
    void Line(double x1, double y1, double x2, double y2) override {
        log.push_back("line " + Num(x1) + "," + Num(y1) + " " + Num(x2) + "," + Num(y2));
    }
    void Polyline(const std::vector<PointD>& points) override {
        std::string s = "polyline";
        for (const PointD& p : points)
            s += " " + Num(p.X) + "," + Num(p.Y);
        log.push_back(s);
    }
    void Rectangle(double x1, double y1, double x2, double y2) override {
        log.push_back("rect " + Num(x1) + "," + Num(y1) + " " + Num(x2) + "," + Num(y2) + " " + Hex(pen_));
    }
    void Ellipse(double x1, double y1, double x2, double y2) override {
        log.push_back("ellipse " + Num(x1) + "," + Num(y1) + " " + Num(x2) + "," + Num(y2));
    }
    void FillRect(double x1, double y1, double x2, double y2) override {
        log.push_back("fill " + Num(x1) + "," + Num(y1) + " " + Num(x2) + "," + Num(y2) + " " + Hex(brush_));
    }
    void SetClip(double, double, double, double) override {}
    void ClearClip() override {}

    static int CodePoints(const std::string& s) {
        int n = 0;
        for (char c : s)
            n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return n;
    }
    static std::string Num(double v) {
        char b[32];
        std::snprintf(b, sizeof b, "%g", v);
        return b;
    }
    static std::string Hex(Color c) {
        char b[8];
        std::snprintf(b, sizeof b, "#%02x%02x%02x", c.R, c.G, c.B);
        return b;
    }

  private:
    Color pen_{}, brush_{}, colour_{};
    std::string font_;
    double size_ = 8;
    uint8_t style_ = 0;
};

} // namespace velmora::test
