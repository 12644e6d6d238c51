#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/xml_check.h"
#include "ui/svg_surface.h"

namespace velmora {
namespace {

TEST(SvgSurface, EscapesTextAndStaysWellFormed) {
    SvgSurface svg(200, 100);
    const std::string nasty = "<a & b> \"q\" 'x' \xC2\xB1 \x01 \xFF end";
    svg.SetFont("Ar\"ial<", 12, FontBold | FontItalic);
    svg.TextOut(10, 10, nasty);
    const test::XmlCheck x = test::CheckXml(svg.Document());
    ASSERT_TRUE(x.ok) << x.error;
    ASSERT_EQ(x.Count("text"), 1);
    for (const auto& e : x.elements) {
        if (e.name != "text") continue;
        // Specials come back as they were, the control character and the stray byte as '?'.
        EXPECT_EQ(e.text, "<a & b> \"q\" 'x' \xC2\xB1 ? ? end");
        EXPECT_EQ(e.attributes.at("font-weight"), "bold");
        EXPECT_EQ(e.attributes.at("font-style"), "italic");
    }
}

TEST(SvgSurface, SkipsNumbersThatAreNotFinite) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    SvgSurface svg(100, 100);
    svg.Line(0, 0, nan, 1);
    svg.Rectangle(inf, 0, 1, 1);
    svg.TextOut(nan, 0, "x");
    svg.Polyline({{0, 0}, {1, 1}, {nan, 2}, {3, 3}, {4, 4}, {inf, 1}, {5, 5}});
    const std::string doc = svg.Document();
    const test::XmlCheck x = test::CheckXml(doc);
    ASSERT_TRUE(x.ok) << x.error;
    EXPECT_EQ(x.Count("line"), 0);
    EXPECT_EQ(x.Count("rect"), 0);
    EXPECT_EQ(x.Count("text"), 0);
    // A point that is not finite breaks the polyline: two runs of two points; the
    // single point after the infinity draws nothing.
    EXPECT_EQ(x.Count("polyline"), 2);
    EXPECT_EQ(doc.find("nan"), std::string::npos);
    EXPECT_EQ(doc.find("inf"), std::string::npos);
}

TEST(SvgSurface, DrawsWhatItIsGiven) {
    SvgSurface svg(300, 200);
    svg.SetBrush(Color{1, 2, 3});
    svg.FillRect(0, 0, 300, 200);
    svg.SetPen(Color{255, 0, 16}, 2, PenStyle::Dash);
    svg.Line(1, 2, 3, 4);
    svg.Ellipse(10, 10, 30, 20);
    const test::XmlCheck x = test::CheckXml(svg.Document());
    ASSERT_TRUE(x.ok) << x.error;
    ASSERT_EQ(x.elements.front().name, "svg");
    EXPECT_EQ(x.elements.front().attributes.at("width"), "300");
    EXPECT_EQ(x.elements.front().attributes.at("viewBox"), "0 0 300 200");
    for (const auto& e : x.elements) {
        if (e.name == "rect") {
            EXPECT_EQ(e.attributes.at("fill"), "#010203");
        }
        if (e.name == "line") {
            EXPECT_EQ(e.attributes.at("stroke"), "#ff0010");
            EXPECT_EQ(e.attributes.at("stroke-width"), "2");
            EXPECT_EQ(e.attributes.count("stroke-dasharray"), 1u);
            EXPECT_EQ(e.attributes.at("x2"), "3");
        }
        if (e.name == "ellipse") {
            EXPECT_EQ(e.attributes.at("cx"), "20");
            EXPECT_EQ(e.attributes.at("rx"), "10");
            EXPECT_EQ(e.attributes.at("ry"), "5");
        }
    }
}

} // namespace
} // namespace velmora
