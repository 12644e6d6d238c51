#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/xml_check.h"
#include "ui/svg_surface.h"

namespace velmora {
namespace {

// The checker itself must refuse what is not well-formed, or the SVG tests prove nothing.
TEST(XmlChecker, RefusesMalformedDocuments) {
    struct Case {
        const char* what;
        std::string doc;
        bool ok;
    };
    const Case cases[] = {
        {"minimal", "<a/>", true},
        {"declaration, nesting, entities",
         "<?xml version=\"1.0\"?>\n<a x='1' y=\"&lt;&#65;\"><b>t &amp; u</b><!-- c --></a>\n", true},
        {"mismatched end tag", "<a><b></a></b>", false},
        {"unclosed root", "<a><b/>", false},
        {"two roots", "<a/><b/>", false},
        {"bare ampersand", "<a>x & y</a>", false},
        {"unknown entity", "<a>&nbsp;</a>", false},
        {"'<' in an attribute", "<a x=\"<\"/>", false},
        {"unquoted attribute", "<a x=1/>", false},
        {"duplicate attribute", "<a x='1' x='2'/>", false},
        {"control character", std::string("<a>\x01</a>"), false},
        {"malformed UTF-8", std::string("<a>\xC3</a>"), false},
        {"text after the root", "<a/>x", false},
        {"]]> in text", "<a>]]></a>", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test::CheckXml(c.doc).ok, c.ok) << c.what << ": " << test::CheckXml(c.doc).error;
}

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

TEST(SvgSurface, ClipGroupsAreBalanced) {
    SvgSurface svg(100, 100);
    svg.SetClip(10, 10, 90, 90);
    svg.Line(0, 0, 100, 100);
    svg.SetClip(20, 20, 80, 80); // a new clip closes the previous group
    svg.Line(0, 100, 100, 0);
    const test::XmlCheck x = test::CheckXml(svg.Document()); // left open: the document closes it
    ASSERT_TRUE(x.ok) << x.error;
    EXPECT_EQ(x.Count("clipPath"), 2);
    EXPECT_EQ(x.Count("g"), 2);
    svg.ClearClip();
    svg.ClearClip();
    EXPECT_TRUE(test::CheckXml(svg.Document()).ok);
}

TEST(SvgSurface, TextMetricsFollowTheFontSize) {
    SvgSurface svg(100, 100);
    svg.SetFont("Arial", 10);
    // Digits advance 0.556 em: four of them at 10 px.
    EXPECT_NEAR(svg.TextWidth("0000"), 22.24, 1e-9);
    EXPECT_NEAR(svg.TextWidth("iiii"), 8.88, 1e-9); // a narrow letter: 0.222 em
    EXPECT_EQ(svg.TextWidth(""), 0);
    const double h10 = svg.TextHeight("Hg");
    svg.SetFont("Arial", 20);
    EXPECT_NEAR(svg.TextWidth("0000"), 44.48, 1e-9);
    EXPECT_NEAR(svg.TextHeight("Hg"), 2 * h10, 1e-9);
    svg.SetFont("Arial", 20, FontBold);
    EXPECT_GT(svg.TextWidth("0000"), 44.48);
    // A character outside ASCII counts once, not per byte.
    svg.SetFont("Arial", 10);
    EXPECT_NEAR(svg.TextWidth("\xC2\xB1"), 5.56, 1e-9);
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
