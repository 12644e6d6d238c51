// The inventory file: a hand-built 1012-byte image read field by field and written back
// byte-exact, and refusal of damaged images with the reason.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "model/inventory_file.h"
#include "support/temp_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

void Put16(std::vector<uint8_t>& b, std::size_t at, int v) {
    b[at] = static_cast<uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

// An image built from the layout table: a few marks set in each section and a
// distinct range per section.
std::vector<uint8_t> HandBuiltImage() {
    std::vector<uint8_t> b(1012, 0);
    b[0 * 96 + 0] = 1;        // 1 %: 1.00 ohm
    b[3 * 96 + 67] = 1;       // 1 %: 4.99 kohm (decade 3, position 67)
    b[6 * 96 + 95] = 1;       // 1 %: 9.76 Mohm
    b[672 + 4 * 24 + 16] = 1; // 5 %: 47 kohm
    b[840 + 2 * 12 + 0] = 1;  // 10 %: 100 ohm
    b[924 + 2 * 12 + 8] = 1;  // capacitors: 4.7 nF
    b[924 + 5 * 12 + 11] = 1; // capacitors: 8.2 uF
    const int ranges[] = {0, 7, 3, 5, 2, 3, 1, 6};
    for (int k = 0; k < 8; ++k)
        Put16(b, 996 + 2 * k, ranges[k]);
    return b;
}

TEST(InventoryFile, HandBuiltImageReadsFieldByFieldAndWritesBackByteExact) {
    InventoryProblem problem;
    const auto inv = DecodeInventory(HandBuiltImage(), problem);
    ASSERT_TRUE(inv) << app::InventoryProblemText(problem);
    struct Mark {
        InventoryKind kind;
        int decade, position;
    };
    const Mark set[] = {{InventoryKind::Resistors1, 0, 0},  {InventoryKind::Resistors1, 3, 67},
                        {InventoryKind::Resistors1, 6, 95}, {InventoryKind::Resistors5, 4, 16},
                        {InventoryKind::Resistors10, 2, 0}, {InventoryKind::Capacitors, 2, 8},
                        {InventoryKind::Capacitors, 5, 11}};
    for (const Mark& m : set)
        EXPECT_TRUE((*inv)[m.kind].InStock(m.decade, m.position)) << m.decade << "/" << m.position;
    EXPECT_EQ((*inv)[InventoryKind::Resistors1].range, (InventoryRange{0, 7}));
    EXPECT_EQ((*inv)[InventoryKind::Resistors5].range, (InventoryRange{3, 5}));
    EXPECT_EQ((*inv)[InventoryKind::Resistors10].range, (InventoryRange{2, 3}));
    EXPECT_EQ((*inv)[InventoryKind::Capacitors].range, (InventoryRange{1, 6}));
    EXPECT_EQ(EncodeInventory(*inv), HandBuiltImage());

    // Through the file system as well, into a folder that is made.
    const fs::path file = test::MakeTempDir("velmora_inventory_") / "sub" / kInventoryFileName;
    ASSERT_TRUE(WriteInventoryFile(file.string(), *inv).ok);
    Inventory back = FullInventory();
    EXPECT_EQ(ReadInventoryFile(file.string(), back).status, InventoryReadStatus::Read);
    EXPECT_EQ(back, *inv);
}

TEST(InventoryFile, DamagedImagesAreRefusedWithTheReason) {
    struct Case {
        const char* what;
        std::vector<uint8_t> image;
        const char* reason;
    };
    std::vector<Case> cases;
    auto image = HandBuiltImage();
    cases.push_back({"short", std::vector<uint8_t>(image.begin(), image.begin() + 1000), "1000 bytes"});
    auto mark = image;
    mark[700] = 2;
    cases.push_back({"mark", mark, "5 % resistor mark is 2 (byte 700)"});
    const struct {
        std::size_t at;
        int first, end;
        const char* reason;
    } ranges[] = {
        {996, 0, 8, "1 % resistor range (0, 8)"},
        {1000, -1, 3, "5 % resistor range (-1, 3)"},
        {1008, 0, 7, "capacitor range (0, 7)"},
        {1008, 5, 2, "capacitor range (5, 2)"},
    };
    for (const auto& r : ranges) {
        auto b = image;
        Put16(b, r.at, r.first);
        Put16(b, r.at + 2, r.end);
        cases.push_back({"range", b, r.reason});
    }
    for (const Case& c : cases) {
        InventoryProblem problem;
        EXPECT_FALSE(DecodeInventory(c.image, problem)) << c.what;
        const std::string why = app::InventoryProblemText(problem);
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
    }
}

TEST(InventoryFile, ReadingReportsMissingUnreadableAndDamagedFilesAndKeepsTheInventory) {
    const fs::path dir = test::MakeTempDir("velmora_inventory_");
    const Inventory before = FullInventory();
    Inventory inv = before;
    EXPECT_EQ(ReadInventoryFile((dir / "none.dat").string(), inv).status, InventoryReadStatus::Missing);
    EXPECT_EQ(ReadInventoryFile(dir.string(), inv).status, InventoryReadStatus::Unreadable);
    { std::ofstream(dir / "short.dat", std::ios::binary) << "RCInvent"; }
    const auto r = ReadInventoryFile((dir / "short.dat").string(), inv);
    EXPECT_EQ(r.status, InventoryReadStatus::Damaged);
    EXPECT_NE(app::InventoryReadText(r).find("8 bytes"), std::string::npos) << app::InventoryReadText(r);
    EXPECT_EQ(inv, before);
}

} // namespace
} // namespace velmora
