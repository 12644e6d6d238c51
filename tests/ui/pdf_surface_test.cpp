// The PDF surface against a real PDF reader: poppler's pdftotext places every word where
// the surface says it drew it and as wide as the surface measured it (so layouts made with
// the surface's metrics hold in print), pdfinfo reads the pages and their size, and the
// cross-reference table points at every object.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/temp_files.h"
#include "ui/pdf_surface.h"

namespace velmora {
namespace {

TEST(PdfSurface, CrossReferencePointsAtEveryObject) {
    PdfSurface pdf;
    pdf.TextOut(10, 10, "a (b) \\ c");
    pdf.NewPage();
    pdf.SetClip(0, 0, 100, 100);
    pdf.Ellipse(10, 10, 60, 40);
    const std::string doc = pdf.Document();
    const size_t xref = std::stoul(doc.substr(doc.rfind("startxref\n") + 10));
    ASSERT_EQ(doc.compare(xref, 5, "xref\n"), 0);
    std::smatch m;
    const std::string table = doc.substr(xref);
    ASSERT_TRUE(std::regex_search(table, m, std::regex("xref\n0 (\\d+)\n")));
    const int count = std::stoi(m[1]);
    EXPECT_EQ(count, 1 + 2 + 6 + 2 * 2); // catalogue, page tree, six fonts, two pages
    for (int i = 1; i < count; ++i) {
        const size_t at = std::stoul(table.substr(m.length(0) + 20 * i, 10));
        EXPECT_EQ(doc.compare(at, std::to_string(i).size() + 6, std::to_string(i) + " 0 obj"), 0) << i;
    }
}

TEST(PdfSurface, ReaderFindsTheTextWhereAndAsWideAsMeasured) {
    if (!test::HaveProgram("pdftotext") || !test::HaveProgram("pdfinfo"))
        GTEST_SKIP() << "poppler-utils are not installed";
    struct Case {
        double x, y, size;
        uint8_t style;
        const char* font;
        std::string text;
    };
    const Case cases[] = {
        {50, 60, 12, FontRegular, "Helvetica", "Passband"},
        {300, 60, 9, FontBold, "Arial", "Stopband"},
        {50, 200, 20, FontItalic, "Helvetica", "AVWay"},
        {80, 400, 10, FontRegular, "Courier", "R1=10k"},
        {120, 700, 14, FontBold | FontItalic, "Helvetica", "(tuning)"},
        {200, 500, 11, FontRegular, "Helvetica", "\u00B12.5\u00B0"}, // Latin-1 signs keep their widths
    };
    PdfSurface pdf(400, 800);
    for (const Case& c : cases) {
        pdf.SetFont(c.font, c.size, c.style);
        pdf.TextOut(c.x, c.y, c.text);
    }
    pdf.NewPage();
    pdf.TextOut(10, 10, "second");
    const auto dir = test::MakeTempDir("pdf_surface");
    const auto path = dir / "t.pdf";
    const std::string doc = pdf.Document();
    test::WriteBytes(path, std::vector<uint8_t>(doc.begin(), doc.end()));

    const std::string info = test::CommandOutput("pdfinfo '" + path.string() + "' 2>&1");
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_NE(info.find("400 x 800 pts"), std::string::npos) << info;

    const std::string html = test::CommandOutput("pdftotext -bbox -f 1 -l 1 '" + path.string() + "' - 2>&1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        pdf.SetFont(c.font, c.size, c.style);
        std::smatch m;
        const std::regex word("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">" +
                              std::regex_replace(c.text, std::regex(R"([()])"), R"(\$&)") + "<");
        ASSERT_TRUE(std::regex_search(html, m, word)) << html;
        // Poppler's words start at the pen position and end after the last advance width:
        // the same numbers the surface measured, to the reader's rounding.
        EXPECT_NEAR(std::stod(m[1]), c.x, 0.05);
        EXPECT_NEAR(std::stod(m[3]) - std::stod(m[1]), pdf.TextWidth(c.text), 0.05);
        // The word's box lies within the line the surface reserves for it.
        EXPECT_GE(std::stod(m[2]), c.y - 0.05);
        EXPECT_LE(std::stod(m[4]), c.y + pdf.TextHeight(c.text) + 0.05);
    }
}

} // namespace
} // namespace velmora
