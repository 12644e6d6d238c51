// The settings file: defaults, the reading rules of every key, the written forms
// against hand-written text, round trips of the tolerance choices and the noise, the
// recent-file rule and the folder taken from the environment.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include "model/settings.h"
#include "support/temp_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Sets (or unsets) an environment variable for the lifetime of the object.
using test::ScopedEnv;

fs::path TempDir() {
    return test::MakeTempDir("velmora_settings_");
}

TEST(Settings, NoFileGivesTheDefaults) {
    fs::path dir = TempDir();
    Settings s;
    s.ZoomX = 9; // replaced by the defaults
    FileIoResult r = ReadSettingsFile((dir / kSettingsFileName).string(), s);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(s.FreqUnitsHz);
    EXPECT_FALSE(s.UseCapInventory);
    EXPECT_FALSE(s.UseResInventory);
    EXPECT_FALSE(s.AllCapsStandard);
    EXPECT_EQ(s.ResistorTolerance.value(), 1.0L);
    EXPECT_EQ(s.CapacitorTolerance.value(), 1.0L);
    EXPECT_EQ(s.OpAmpTolerance.value(), 30.0L);
    EXPECT_EQ(s.OpAmpNoise.value(), 12.0L);
    EXPECT_TRUE(s.RecentFiles.empty());
    EXPECT_EQ(s.MainLeft, 110);
    EXPECT_EQ(s.MainTop, 10);
    EXPECT_EQ(s.ZoomX, 4);
    EXPECT_EQ(s.VZoomY, 4);
    // An empty text is the same as no file.
    EXPECT_EQ(ParseSettings(""), Settings{});
    fs::remove_all(dir);
}

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
        {"[Component inventory]\nUsecap=true\n", [](auto& s) { return !s.UseCapInventory; },
         "true is not TRUE"},
        {"[Component inventory]\nUseres=TRUE\n", [](auto& s) { return s.UseResInventory; }, "Useres"},
        {"[Component Characteristics]\nAllCapsStnd=no\n", [](auto& s) { return s.AllCapsStandard; }, "no"},
        {"[Component Characteristics]\nAllCapsStnd=FALSE\n", [](auto& s) { return !s.AllCapsStandard; },
         "FALSE"},
        {"[Component Characteristics]\nAllCapsStnd=false\n", [](auto& s) { return s.AllCapsStandard; },
         "lower-case false"},
        {"[Settings]\nFrequency units=rad/s\n", [](auto& s) { return !s.FreqUnitsHz; }, "rad/s"},
        {"[Settings]\nFrequency units=Hertz\n", [](auto& s) { return !s.FreqUnitsHz; }, "Hertz"},
        {"[Settings]\nFrequency units=hertz\n", [](auto& s) { return s.FreqUnitsHz; }, "hertz"},
        // Tolerance ranges.
        {"[Component Characteristics]\nOpTolerance=5\n", [&](auto& s) { return Op(s) == 5; }, "op 5"},
        {"[Component Characteristics]\nOpTolerance=4\n", [&](auto& s) { return Op(s) == 30; }, "op 4"},
        {"[Component Characteristics]\nOpTolerance=50\n", [&](auto& s) { return Op(s) == 50; }, "op 50"},
        {"[Component Characteristics]\nOpTolerance=51\n", [&](auto& s) { return Op(s) == 30; }, "op 51"},
        {"[Component Characteristics]\nOpTolerance=10\n", [&](auto& s) { return Op(s) == 10; }, "op 10"},
        {"[Component Characteristics]\nRTolerance=25\n", [&](auto& s) { return R(s) == 1; }, "R 25"},
        {"[Component Characteristics]\nRTolerance=0.25\n", [&](auto& s) { return R(s) == 0.25L; }, "R 0.25"},
        {"[Component Characteristics]\nRTolerance=20\n", [&](auto& s) { return R(s) == 20; }, "R 20"},
        {"[Component Characteristics]\nRTolerance=0.05\n", [&](auto& s) { return R(s) == 1; }, "R 0.05"},
        {"[Component Characteristics]\nCTolerance=abc\n", [&](auto& s) { return C(s) == 1; }, "C malformed"},
        {"[Component Characteristics]\nCTolerance=  5E-1\n", [&](auto& s) { return C(s) == 0.5L; }, "C 5E-1"},
        {"[Component Characteristics]\nCTolerance=10\n", [&](auto& s) { return C(s) == 10; }, "C 10"},
        // The noise has no range; malformed and empty text read as 0.
        {"[Component Characteristics]\nNoise= 1.2E+1\n", [&](auto& s) { return N(s) == 12; }, "noise"},
        {"[Component Characteristics]\nNoise=-4.5\n", [&](auto& s) { return N(s) == -4.5L; }, "noise <0"},
        {"[Component Characteristics]\nNoise=\n", [&](auto& s) { return N(s) == 0; }, "noise empty"},
        {"[Component Characteristics]\nNoise=12x\n", [&](auto& s) { return N(s) == 0; }, "noise malformed"},
        {"[Component Characteristics]\nNoise=1,5\n", [&](auto& s) { return N(s) == 0; }, "comma"},
        // Section and key names compare without case; CR LF line ends are read.
        {"[component characteristics]\r\nnoise=3.5\r\n", [&](auto& s) { return N(s) == 3.5L; }, "case"},
        // The first of two equal keys counts.
        {"[Component Characteristics]\nNoise=1\nNoise=2\n", [&](auto& s) { return N(s) == 1; }, "first key"},
        // A key outside its section is not that key.
        {"[General]\nNoise=3\n", [&](auto& s) { return N(s) == 12; }, "wrong section"},
        // A tolerance without a resistor series switches the resistor inventory off.
        {"[Component inventory]\nUseres=TRUE\n[Component Characteristics]\nRTolerance=2\n",
         [](auto& s) { return !s.UseResInventory && s.ResistorTolerance.value() == 2.0L; }, "R 2 %"},
        {"[Component inventory]\nUseres=TRUE\n[Component Characteristics]\nRTolerance=10\n",
         [](auto& s) { return s.UseResInventory; }, "R 10 %"},
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

    // Through the file: two recent files write File1 and File2 and no other key.
    fs::path dir = TempDir();
    const fs::path file = dir / "sub" / kSettingsFileName; // the folder is created
    Settings four = s;
    four.RecentFiles = {"/1.fl3", "/2.fl3", "/3.fl3", "/4.fl3"};
    ASSERT_TRUE(WriteSettingsFile(file.string(), four).ok);
    EXPECT_NE(test::ReadText(file).find("File4=/4.fl3\n"), std::string::npos);
    FileIoResult w = WriteSettingsFile(file.string(), s);
    ASSERT_TRUE(w.ok) << w.message;
    const std::string written = test::ReadText(file);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(written.find("File3"), std::string::npos);
    Settings back;
    ASSERT_TRUE(ReadSettingsFile(file.string(), back).ok);
    EXPECT_EQ(back, s);
    fs::remove_all(dir);
}

TEST(Settings, TolerancesAndNoiseReadBackUnchanged) {
    // The tolerance choices of the component characteristics, and values that need more
    // digits than the usual form gives.
    const long double tolerances[] = {0.1L, 0.25L, 0.5L, 1, 2, 5, 10, 0.3333333333333L, 19.99L, 7.125L};
    for (long double t : tolerances) {
        Settings s;
        s.ResistorTolerance = t;
        s.CapacitorTolerance = t;
        const Settings back = ParseSettings(SettingsText(s));
        EXPECT_EQ(back.ResistorTolerance.value(), s.ResistorTolerance.value()) << (double)t;
        EXPECT_EQ(back.CapacitorTolerance.value(), s.CapacitorTolerance.value()) << (double)t;
    }
    struct NoiseCase {
        long double value;
        const char* text; // the written value, nullptr when only the round trip is checked
    };
    const NoiseCase noises[] = {{12, " 1.2E+1"},     {4, " 4.0E+0"},        {0, " 0.0E+0"},
                                {-3.5L, "-3.5E+0"},  {18.75L, " 1.875E+1"}, {0.001L, " 1.0E-3"},
                                {1.0L / 3, nullptr}, {6.02e23L, nullptr}};
    for (const NoiseCase& n : noises) {
        Settings s;
        s.OpAmpNoise = n.value;
        const std::string text = SettingsText(s);
        if (n.text) {
            EXPECT_NE(text.find(std::string("\nNoise=") + n.text + "\n"), std::string::npos) << text;
        }
        EXPECT_EQ(ParseSettings(text).OpAmpNoise.value(), s.OpAmpNoise.value()) << (double)n.value;
    }
    // The op-amp tolerance is a whole number of percent right-aligned in two characters.
    for (auto [value, text] : {std::pair{30.0L, "30"}, {5.0L, " 5"}, {12.9L, "12"}}) {
        Settings s;
        s.OpAmpTolerance = value;
        EXPECT_NE(SettingsText(s).find(std::string("\nOpTolerance=") + text + "\n"), std::string::npos);
    }
}

TEST(Settings, RecentFileList) {
    std::vector<std::string> list;
    for (const char* f : {"a", "b", "c", "d", "e"})
        AddRecentFile(list, f);
    EXPECT_EQ(list, (std::vector<std::string>{"e", "d", "c", "b"}));
    AddRecentFile(list, "c"); // an entry moves to the head and is not repeated
    EXPECT_EQ(list, (std::vector<std::string>{"c", "e", "d", "b"}));
    AddRecentFile(list, "c");
    EXPECT_EQ(list, (std::vector<std::string>{"c", "e", "d", "b"}));
    AddRecentFile(list, "C"); // exact comparison: another name
    EXPECT_EQ(list, (std::vector<std::string>{"C", "c", "e", "d"}));

    // Names that the profile format would change are kept through quoting; a name with a
    // line break is left out.
    Settings s;
    s.RecentFiles = {" /lead blank.fl3", "\"/quoted.fl3\"", "/line\nbreak.fl3", "/carriage\rreturn.fl3\r"};
    const Settings back = ParseSettings(SettingsText(s));
    EXPECT_EQ(back.RecentFiles,
              (std::vector<std::string>{" /lead blank.fl3", "\"/quoted.fl3\"", "/carriage\rreturn.fl3\r"}));
}

TEST(Settings, FolderFromTheEnvironment) {
    {
        ScopedEnv x("XDG_CONFIG_HOME", "/tmp/cfg");
        ScopedEnv h("HOME", "/home/someone");
        EXPECT_EQ(SettingsFolder(), std::optional<std::string>("/tmp/cfg/velmora"));
    }
    {
        // A relative or empty XDG_CONFIG_HOME is ignored, as the base-directory rules say.
        ScopedEnv x("XDG_CONFIG_HOME", "relative/cfg");
        ScopedEnv h("HOME", "/home/someone");
        EXPECT_EQ(SettingsFolder(), std::optional<std::string>("/home/someone/.config/velmora"));
    }
    {
        ScopedEnv x("XDG_CONFIG_HOME", "");
        ScopedEnv h("HOME", "/home/someone");
        EXPECT_EQ(SettingsFolder(), std::optional<std::string>("/home/someone/.config/velmora"));
    }
    {
        ScopedEnv x("XDG_CONFIG_HOME", nullptr);
        ScopedEnv h("HOME", nullptr);
        EXPECT_EQ(SettingsFolder(), std::nullopt);
    }
}

// A write that fails part-way, or before the new text exists, leaves the previous file
// as it was and no temporary file beside it. Both failures bind the superuser too (file
// permissions would not): a file-size limit ends the write of the temporary file with
// EFBIG, as a full disk does, and a settings path that links to a file whose name has no
// room left for the temporary suffix makes the temporary file impossible to create.
TEST(Settings, AFailedWriteKeepsThePreviousFile) {
    struct Case {
        const char* name;
        // Writes `first` and gives the path the failing write goes to.
        std::function<fs::path(const fs::path& dir, const Settings& first)> prepare;
        std::function<void()> before, after; // around the failing write
    };
    static rlimit saved{};
    const Case cases[] = {
        {"file size limit",
         [](const fs::path& dir, const Settings& first) {
             const fs::path file = dir / kSettingsFileName;
             EXPECT_TRUE(WriteSettingsFile(file.string(), first).ok);
             return file;
         },
         [] {
             ::signal(SIGXFSZ, SIG_IGN);
             ::getrlimit(RLIMIT_FSIZE, &saved);
             rlimit small = saved;
             small.rlim_cur = 16;
             ::setrlimit(RLIMIT_FSIZE, &small);
         },
         [] {
             ::setrlimit(RLIMIT_FSIZE, &saved);
             ::signal(SIGXFSZ, SIG_DFL);
         }},
        {"no room for the temporary name",
         [](const fs::path& dir, const Settings& first) {
             const fs::path written = dir / "written.ini", real = dir / std::string(250, 'v');
             EXPECT_TRUE(WriteSettingsFile(written.string(), first).ok);
             fs::rename(written, real);
             fs::create_symlink(real.filename(), dir / kSettingsFileName);
             return dir / kSettingsFileName;
         },
         [] {}, [] {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path dir = TempDir();
        Settings first;
        first.OpAmpNoise = 7.0L;
        const fs::path file = c.prepare(dir, first);
        const std::string before = test::ReadText(file);
        ASSERT_NE(before.find("Noise= 7.0E+0"), std::string::npos) << before;
        Settings second;
        second.OpAmpNoise = 9.0L;
        c.before();
        FileIoResult r = WriteSettingsFile(file.string(), second);
        c.after();
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find(file.string()), std::string::npos) << r.message;
        EXPECT_EQ(test::ReadText(file), before);
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos)
                << "left behind: " << e.path();
        fs::remove_all(dir);
    }
}

} // namespace
} // namespace velmora
