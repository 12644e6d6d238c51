// The SVG surface keeps any text well-formed: specials escaped, stray bytes replaced.
#include <gtest/gtest.h>

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

} // namespace
} // namespace velmora
