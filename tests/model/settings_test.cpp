// The settings file: the reading rules of every key, the written form against
// hand-written text and back through a file, and the recent-file rule; and the
// component inventory file beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "model/inventory_file.h"
#include "model/settings.h"
#include "support/temp_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(Settings, ReadingRulesOfEveryKey) {
    struct Case {
        const char* text;
        std::function<bool(const Settings&)> holds;
        const char* what;
    };
    auto R = [](const Settings& s) { return s.ResistorTolerance.value(); };
    auto C = [](const Settings& s) { return s.CapacitorTolerance.value(); };
    auto Op = [](const Settings& s) { return s.OpAmpTolerance.value(); };
    auto N = [](const Settings& s) { return s.OpAmpNoise.value(); };
    const Case cases[] = {
        // The flags take exact texts only.
        {"[Component inventory]\nUsecap=TRUE\n", [](auto& s) { return s.UseCapInventory; }, "TRUE"},
        {"[Component Characteristics]\nAllCapsStnd=no\n", [](auto& s) { return s.AllCapsStandard; }, "no"},
        {"[Component Characteristics]\nAllCapsStnd=false\n", [](auto& s) { return s.AllCapsStandard; },
         "lower-case false"},
        {"[Settings]\nFrequency units=rad/s\n", [](auto& s) { return !s.FreqUnitsHz; }, "rad/s"},
        // Tolerance ranges.
        {"[Component Characteristics]\nOpTolerance=51\n", [&](auto& s) { return Op(s) == 30; }, "op 51"},
        {"[Component Characteristics]\nRTolerance=25\n", [&](auto& s) { return R(s) == 1; }, "R 25"},
        {"[Component Characteristics]\nCTolerance=abc\n", [&](auto& s) { return C(s) == 1; }, "C malformed"},
        // The noise has no range; malformed and empty text read as 0.
        {"[Component Characteristics]\nNoise= 1.2E+1\n", [&](auto& s) { return N(s) == 12; }, "noise"},
        // Section and key names compare without case; CR LF line ends are read.
        {"[component characteristics]\r\nnoise=3.5\r\n", [&](auto& s) { return N(s) == 3.5L; }, "case"},
        // The first of two equal keys counts.
        {"[Component Characteristics]\nNoise=1\nNoise=2\n", [&](auto& s) { return N(s) == 1; }, "first key"},
        // A key outside its section is not that key.
        {"[General]\nNoise=3\n", [&](auto& s) { return N(s) == 12; }, "wrong section"},
        // A tolerance without a resistor series switches the resistor inventory off.
        {"[Component inventory]\nUseres=TRUE\n[Component Characteristics]\nRTolerance=2\n",
         [](auto& s) { return !s.UseResInventory && s.ResistorTolerance.value() == 2.0L; }, "R 2 %"},
        {"[Component inventory]\nUseres=TRUE\nUsecap=TRUE\n[Component Characteristics]\nRTolerance=0.5\n",
         [](auto& s) { return !s.UseResInventory && s.UseCapInventory; }, "R 0.5 %"},
        // Window values.
        {"[General]\nMainposn=-20,300\nZoomX=7\nVZoomY=2\n",
         [](auto& s) { return s.MainLeft == -20 && s.MainTop == 300 && s.ZoomX == 7 && s.VZoomY == 2; },
         "window"},
        {"[General]\nZoomY=70000\n", [](auto& s) { return s.ZoomY == 0; }, "zoom beyond 16 bits"},
        // Recent files: empty values skipped, later duplicates removed.
        {"[Recent file list]\nFile1=/a.fl3\nFile2=\nFile3=/b.fl3\nFile4=/a.fl3\n",
         [](auto& s) {
             return s.RecentFiles == std::vector<std::string>{"/a.fl3", "/b.fl3"};
         },
         "recent"},
        {"[Recent file list]\nFile2=/two.fl3\nFile5=/five.fl3\n",
         [](auto& s) { return s.RecentFiles == std::vector<std::string>{"/two.fl3"}; }, "recent keys"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(c.holds(ParseSettings(c.text))) << c.what << ": " << c.text;
}

TEST(Settings, WrittenFormAgainstHandWrittenText) {
    Settings s;
    s.MainLeft = 5;
    s.MainTop = 6;
    s.ZoomX = 1;
    s.UseCapInventory = true;
    s.FreqUnitsHz = false;
    s.ResistorTolerance = 0.25L;
    s.CapacitorTolerance = 10.0L;
    s.AllCapsStandard = true;
    s.OpAmpTolerance = 5.0L;
    s.RecentFiles = {"/home/u/one.fl3", "/home/u/two.fl3"};
    // One section a line.
    const std::string expected =
        "[General]\nMainposn=5,6\nZoomX=1\nZoomY=4\nVZoomX=4\nVZoomY=4\n\n"
        "[Component inventory]\nUsecap=TRUE\nUseres=FALSE\n\n"
        "[Settings]\nFrequency units=rad/s\n\n"
        "[Component Characteristics]\nRTolerance=0.25\nCTolerance=10\nAllCapsStnd=TRUE\n"
        "OpTolerance= 5\nNoise= 1.2E+1\n\n"
        "[Recent file list]\nFile1=/home/u/one.fl3\nFile2=/home/u/two.fl3\n";
    EXPECT_EQ(SettingsText(s), expected);
    EXPECT_EQ(ParseSettings(expected), s);

    // Through the file, in a folder that is created; no file is the defaults.
    fs::path dir = test::MakeTempDir("velmora_settings_");
    const fs::path file = dir / "sub" / kSettingsFileName;
    Settings back;
    back.ZoomX = 9;
    ASSERT_TRUE(ReadSettingsFile(file.string(), back).ok);
    EXPECT_EQ(back, Settings{});
    FileIoResult w = WriteSettingsFile(file.string(), s);
    ASSERT_TRUE(w.ok) << w.message;
    EXPECT_EQ(test::ReadText(file), expected);
    ASSERT_TRUE(ReadSettingsFile(file.string(), back).ok);
    EXPECT_EQ(back, s);
    fs::remove_all(dir);
}

TEST(Settings, RecentFileList) {
    std::vector<std::string> list;
    for (const char* f : {"a", "b", "c", "d", "e"})
        AddRecentFile(list, f);
    EXPECT_EQ(list, (std::vector<std::string>{"e", "d", "c", "b"}));
    AddRecentFile(list, "c"); // an entry moves to the head and is not repeated
    EXPECT_EQ(list, (std::vector<std::string>{"c", "e", "d", "b"}));
    AddRecentFile(list, "C"); // exact comparison: another name
    EXPECT_EQ(list, (std::vector<std::string>{"C", "c", "e", "d"}));
}

// The inventory file: a hand-built 1012-byte image read field by field and written back
// byte-exact, and refusal of damaged images with the reason.
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
    std::string why;
    const auto inv = DecodeInventory(HandBuiltImage(), why);
    ASSERT_TRUE(inv) << why;
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
        std::string why;
        EXPECT_FALSE(DecodeInventory(c.image, why)) << c.what;
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
    EXPECT_NE(r.message.find("8 bytes"), std::string::npos) << r.message;
    EXPECT_EQ(inv, before);
}

} // namespace
} // namespace velmora
