// The settings file: the reading rules of every key, the written form against
// hand-written text and back through a file, and the recent-file rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

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
    const std::string expected = "[General]\n"
                                 "Mainposn=5,6\n"
                                 "ZoomX=1\n"
                                 "ZoomY=4\n"
                                 "VZoomX=4\n"
                                 "VZoomY=4\n"
                                 "\n"
                                 "[Component inventory]\n"
                                 "Usecap=TRUE\n"
                                 "Useres=FALSE\n"
                                 "\n"
                                 "[Settings]\n"
                                 "Frequency units=rad/s\n"
                                 "\n"
                                 "[Component Characteristics]\n"
                                 "RTolerance=0.25\n"
                                 "CTolerance=10\n"
                                 "AllCapsStnd=TRUE\n"
                                 "OpTolerance= 5\n"
                                 "Noise= 1.2E+1\n"
                                 "\n"
                                 "[Recent file list]\n"
                                 "File1=/home/u/one.fl3\n"
                                 "File2=/home/u/two.fl3\n";
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

} // namespace
} // namespace velmora
