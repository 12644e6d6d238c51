// The design report over a corpus of designs at every level they reach: every text the
// pages draw (inside the pictures too) lies within the printable area of its page, each
// page carries the design's name and its number, and the sections follow the design's
// level. The real PDF is read back by poppler when it is installed, and so is the PDF
// surface's own text placement.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

#include "app/design_session.h"
#include "support/specifications.h"
#include "support/temp_files.h"
#include "ui/pdf_surface.h"
#include "ui/report_painter.h"

namespace velmora {
namespace {

// A PDF surface that keeps the box of every text it draws, measured as it draws it.
class BoxRecorder : public PdfSurface {
  public:
    struct Box {
        double x1, y1, x2, y2;
        std::string text;
    };
    std::vector<std::vector<Box>> pages{{}};
    void TextOut(double x, double y, const std::string& text) override {
        pages.back().push_back({x, y, x + TextWidth(text), y + TextHeight(text), text});
        PdfSurface::TextOut(x, y, text);
    }
    void Page() {
        NewPage();
        pages.emplace_back();
    }
};

struct Corpus {
    const char* name;
    test::Spec spec;
    uint8_t level; // the step the design is taken to
    int series;    // standard resistors (percent), 0: none
    std::string file;
};

std::unique_ptr<TDesign> Build(const Corpus& c) {
    auto d = std::make_unique<TDesign>();
    TDesign scratch;
    test::FillSpecification(scratch, c.spec);
    app::DesignSession session(*d);
    session.StartDesign(static_cast<uint8_t>(c.spec.type));
    EXPECT_EQ(session.EnterSpecification(scratch.Spec, 1.0L), app::SpecificationStatus::Ok);
    if (c.level >= LevelApproxChosen) {
        EXPECT_TRUE(session.RealiseApproximation(session.DefaultApproximation()).ok);
    }
    if (c.level >= LevelComponents) {
        EXPECT_TRUE(session.DesignCircuits({}).ok);
        app::ComponentRequest q;
        q.series = c.series;
        EXPECT_TRUE(session.ApplyComponents(q).ok);
    }
    d->FileName = c.file;
    return d;
}

TEST(Report, EveryTextInsideThePrintableAreaWithNameAndPageNumber) {
    const std::string longName = "/tmp/" + std::string(150, 'w') + ".fl3";
    const uint8_t kBuilt = LevelComponents;
    const Corpus corpus[] = {
        {"default lowpass", {"lp", Lowpass, 0.5L, 30, 1000, 2000, 0, 0}, kBuilt, 0, ""},
        {"20th-order bandpass", {"bp", Bandpass, 0.5L, 40, 1000, 3000, 10000, 20}, kBuilt, 0, "bp20.fl3"},
        {"highpass, 5 % resistors", {"hp", Highpass, 1, 50, 5000, 1500, 0, 0}, kBuilt, 5, "/x/hp.fl3"},
        {"bandstop", {"bs", Bandstop, 1, 40, 2000, 400, 5000, 0}, kBuilt, 0, longName},
        {"approximations only", {"lp2", Lowpass, 0.1L, 60, 100, 130, 0, 0}, LevelApproximations, 0, ""},
    };
    for (const Corpus& c : corpus) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<TDesign> d = Build(c);
        BoxRecorder pdf;
        const ReportDocument doc = LayoutReport(*d, pdf);
        ASSERT_GE(doc.PageCount(), 1);
        for (int p = 0; p < doc.PageCount(); ++p) {
            if (p > 0) pdf.Page();
            doc.PaintPage(pdf, p);
        }
        const ReportGeometry& g = doc.Geometry();
        const double lo = g.PrintableInset, right = g.Width - g.PrintableInset,
                     bottom = g.Height - g.PrintableInset;
        const std::string title = ReportTitle(*d);
        for (int p = 0; p < doc.PageCount(); ++p) {
            SCOPED_TRACE("page " + std::to_string(p + 1));
            bool numbered = false, named = false;
            for (const BoxRecorder::Box& b : pdf.pages[p]) {
                EXPECT_TRUE(b.x1 >= lo && b.x2 <= right && b.y1 >= lo && b.y2 <= bottom)
                    << "'" << b.text << "' at " << b.x1 << "," << b.y1 << " .. " << b.x2 << "," << b.y2;
                numbered |=
                    b.text == "Page " + std::to_string(p + 1) + " of " + std::to_string(doc.PageCount());
                // A long name is shortened to fit, never cut.
                named |= b.text == title ||
                         (b.text.ends_with("...") && title.starts_with(b.text.substr(0, b.text.size() - 3)));
            }
            EXPECT_EQ(std::tuple(numbered, named), std::tuple(true, true));
        }
        // The sections the design has reached, and none beyond.
        std::string all;
        for (const auto& page : pdf.pages)
            for (const BoxRecorder::Box& b : page)
                all += b.text + "\n";
        const bool built = c.level >= LevelComponents;
        EXPECT_NE(all.find("Comparison of the approximations"), std::string::npos);
        EXPECT_EQ(all.find("Tuning instructions") != std::string::npos, built);
        EXPECT_EQ(all.find("Check against the specification's mask") != std::string::npos, built);
        EXPECT_EQ(all.find("Stage 1: ") != std::string::npos, built);
        // The real file read back by poppler, where it is installed: its pages and their size.
        if (&c == &corpus[0] && test::HaveProgram("pdfinfo")) {
            const auto file = test::MakeTempDir("report") / "r.pdf";
            const std::string pdf = ReportPdf(*d);
            test::WriteBytes(file, std::vector<uint8_t>(pdf.begin(), pdf.end()));
            const std::string info = test::CommandOutput("pdfinfo '" + file.string() + "' 2>&1");
            EXPECT_NE(info.find("Pages:           " + std::to_string(doc.PageCount()) + "\n"),
                      std::string::npos)
                << info;
            EXPECT_NE(info.find("595 x 842 pts (A4)"), std::string::npos) << info;
        }
    }
}

// The PDF surface against a real PDF reader: poppler's pdftotext places every word where
// the surface says it drew it and as wide as the surface measured it (so layouts made with
// the surface's metrics hold in print), pdfinfo reads the pages and their size, and the
// cross-reference table points at every object.
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
    const struct Case {
        double x, y, size;
        uint8_t style;
        const char* font;
        std::string text;
    } cases[] = {
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
