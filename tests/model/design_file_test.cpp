// The design file: committed images of a design with varied values in every stored
// field and of a design the program makes, round trips of designs the program makes,
// earlier layouts, the fix-ups of entered values, rejected files and a failed save; then
// the program's other stored files, the settings and the component inventory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "app/messages.h"
#include "model/design.h"
#include "model/design_file.h"
#include "model/inventory_file.h"
#include "model/real48.h"
#include "model/settings.h"
#include "support/cli_run.h"
#include "support/temp_files.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Image = std::vector<uint8_t>;

// ---- Offsets of the current layout, summed from the record sizes ------------------------
constexpr std::size_t kFlagsAt = 13;                             // length byte; characters from 14
constexpr std::size_t kLevelAt = 224;                            // then filter type, selection
constexpr std::size_t kPoleListAt = 227;                         // 5 x 12 entries x 36 bytes
constexpr std::size_t kZeroListAt = kPoleListAt + 5 * 12 * 36;   // 5 x 11 x 12
constexpr std::size_t kPoleTableAt = kZeroListAt + 5 * 11 * 12;  // 5 x 11 x 36
constexpr std::size_t kZeroTableAt = kPoleTableAt + 5 * 11 * 36; // 5 x 11 x 12
constexpr std::size_t kResultsAt = kZeroTableAt + 5 * 11 * 12;   // 5 x 314
constexpr std::size_t kPoleEntriesAt = kResultsAt + 5 * 314;     // 11 x 28
constexpr std::size_t kZeroEntriesAt = kPoleEntriesAt + 11 * 28; // 11 x 14
constexpr std::size_t kStagesAt = kZeroEntriesAt + 11 * 14;      // N x 548
constexpr std::size_t kGroup = 548;
// Within a stage group: circuit header 43, circuit options 86, coefficients 307,
// capacitor set 66, user block 46.
constexpr std::size_t kOptionsIn = 43, kCoeffsIn = kOptionsIn + 86, kCapSetIn = kCoeffsIn + 307;
constexpr std::size_t kUserIn = kCapSetIn + 66;
static_assert(kStagesAt == 7719 && kUserIn + 46 == kGroup);

const auto groupAt = [](int stage) -> std::size_t { return kStagesAt + (stage - 1) * kGroup; };
const auto criteriaAt = [](int stages) -> std::size_t { return groupAt(stages + 1); };
const auto adjustedAt = [](int stages) -> std::size_t { return criteriaAt(stages) + 24; };

Image r48(long double x) {
    const Real48::Bytes b = encodeReal48(x);
    return Image(b.begin(), b.end());
}
void putI16(Image& image, std::size_t at, int16_t v) {
    image[at] = static_cast<uint8_t>(v & 0xFF);
    image[at + 1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
}

std::unique_ptr<TDesign> newDesign(uint8_t type = Lowpass) {
    auto d = std::make_unique<TDesign>();
    NewDesign(*d, type);
    return d;
}

Image encode(const TDesign& d) {
    Image image;
    const DesignFileResult r = EncodeDesign(d, image);
    EXPECT_TRUE(r.ok()) << app::DesignFileMessage(r);
    return image;
}

// A committed design file of tests/model/golden; VELMORA_UPDATE_GOLDEN=1 writes it anew
// from `made` after a deliberate change of the layout.
Image Golden(const std::string& name, const Image& made = {}) {
    const fs::path file = fs::path(VELMORA_SOURCE_DIR) / "tests" / "model" / "golden" / name;
    if (const char* update = std::getenv("VELMORA_UPDATE_GOLDEN");
        update && std::string(update) == "1" && !made.empty())
        test::WriteBytes(file, made);
    return test::ReadBytes(file);
}

// The varied design: eleven stages at the final level with the adjusted-resistor block,
// every stored field (reserved ones included) holding a value of its own: texts of every
// length and byte, reals of varied magnitude and sign, counts and flags in their ranges.
const char* const kVaried = "varied_design.fl3";

TEST(DesignFile, TheVariedDesignOpensAndSavesByteIdentical) {
    const Image image = Golden(kVaried);
    ASSERT_EQ(image.size(), 7743u + 11 * 548 + 847);
    auto d = std::make_unique<TDesign>(); // shares nothing with a design saved
    const DesignFileResult r = DecodeDesign(image, *d);
    ASSERT_TRUE(r.ok()) << app::DesignFileMessage(r);
    EXPECT_EQ(encode(*d), image);
    EXPECT_EQ(d->Modified, 0);
    EXPECT_EQ(d->LoadedFromFile, 1);
    // The capacitor set takes its values from the capacitor slots of the stage's circuit.
    for (int i = 1; i <= 11; ++i)
        for (int k = 1; k <= kCapacitorSlots; ++k) {
            const TComponentItem& slot = d->Circuits[i].Components[kResistorSlots + k];
            EXPECT_EQ(d->CapSets[i].Value[k].value(), slot.Value.value());
            EXPECT_EQ(d->CapSetsWorking[i].Alternative[k].value(), slot.Alternative.value());
        }
}

// Designs the program makes, each row adding a filter type, an option or a component
// choice the others lack: every filter type, a user-defined filter, standard values of
// each series and strategy, an inventory, compensated and predistorted stages. Each is designed and saved by
// the command line; the file opens, saves to the same bytes (but for the modified flag, which an opened
// design no longer has) and, opened by the command line with the same component options, reports the same
// design as the run that made it.
TEST(DesignFile, ProgramDesignsSurviveSaveAndOpen) {
    const fs::path dir = test::MakeTempDir("velmora_design_corpus_");
    std::string stock(996, '\1'); // every value in stock, the widest ranges
    for (int16_t v : {0, 7, 0, 7, 0, 7, 0, 6})
        stock += {static_cast<char>(v), '\0'};
    test::WriteBytes(dir / "stock.dat", Image(stock.begin(), stock.end()));
    using Args = std::vector<std::string>;
    const std::pair<Args, Args> corpus[] = {
        {{"design", "--approx", "elliptic", "--gain-db", "20", "--asb", "60"}, {"--standard-r", "1"}},
        {{"design", "--type", "highpass", "--order", "5", "--predistort", "all", "--gbw", "1M", "--order-by",
          "qp"},
         {}},
        {{"design", "--type", "bandpass", "--approx", "elliptic", "--compensate", "all"}, {}},
        {{"design", "--type", "bandstop", "--approx", "chebyshev"},
         {"--standard-r", "5", "--strategy", "2", "--all-caps-standard", "--inventory",
          (dir / "stock.dat").string()}},
        {{"user", "--section", "lp2:q=0.707,fp=1k,to=2", "--section", "bs2:q=5,fp=1k,fz=1.2k", "--section",
          "lp1:p=1k"},
         {"--standard-r", "10"}},
    };
    const std::string file = (dir / "d.fl3").string();
    for (const auto& [design, values] : corpus) {
        SCOPED_TRACE(testing::PrintToString(design) + testing::PrintToString(values));
        Args made = design, open = {"open", file, "--json"};
        made.insert(made.end(), values.begin(), values.end());
        open.insert(open.end(), values.begin(), values.end());
        made.insert(made.end(), {"--save", file, "--json"});
        const test::Result run = test::Velmora(made);
        ASSERT_EQ(run.status, 0) << run.err;
        Image bytes = test::ReadBytes(file);
        auto d = std::make_unique<TDesign>();
        const DesignFileResult r = DecodeDesign(bytes, *d);
        ASSERT_TRUE(r.ok()) << app::DesignFileMessage(r);
        EXPECT_GE(d->DesignLevel, LevelComponents);
        EXPECT_EQ(bytes[kFlagsAt + 21], '1');
        bytes[kFlagsAt + 21] = '0';
        EXPECT_EQ(encode(*d), bytes);
        if (&design == &corpus[0].first) {
            // The fields of a design the program makes at their byte positions: a reader and
            // a writer that moved a field alike would still agree with each other.
            EXPECT_EQ(bytes, Golden("elliptic_lowpass.fl3", bytes));
        }
        const test::Result opened = test::Velmora(open);
        ASSERT_EQ(opened.status, 0) << opened.err;
        const auto a = nlohmann::json::parse(run.out), b = nlohmann::json::parse(opened.out);
        // The run's notes and its ideal curves of the one approximation asked for are
        // the run's own; everything else is the design.
        for (const auto& [key, value] : a.items())
            if (key != "notes" && key != "ideal_response") {
                EXPECT_EQ(value, b[key]) << key;
            }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2)
        << "no temporary files remain";
    fs::remove_all(dir);
}

// Version 2 files held a circuit option byte that later versions give a meaning: it
// is cleared on reading them, and kept from every other tag.
TEST(DesignFile, Version2ClearsTheLastCircuitOptionByte) {
    for (const std::string tag : {"VML20", "VML30", "ABC99", "VML"}) {
        SCOPED_TRACE(tag);
        Image im = Golden(kVaried);
        im[groupAt(1) + kOptionsIn + 37] = 6; // the sixth option byte
        im[4] = static_cast<uint8_t>(tag.size());
        for (std::size_t k = 0; k < 8; ++k)
            im[5 + k] = k < tag.size() ? static_cast<uint8_t>(tag[k]) : 0;
        auto out = newDesign();
        ASSERT_TRUE(DecodeDesign(im, *out).ok());
        EXPECT_EQ(out->Circuits[1].Options[5], tag == "VML20" ? 0 : 6);
    }
}

// ---- Fix-ups of the entered values ---------------------------------------------------------------

TEST(DesignFile, EnteredValuesAreFixedUpAfterReading) {
    const long double twoPi = 6.283185307179586476925286766559L;
    // Internal values: wpb = 2 pi 1500, wsb = 2 pi 3000, w0 = 2 pi 700, Bpb = 2 pi 250,
    // Bsb = 2 pi 900 (rad/s).
    const struct Case {
        const char* what;
        uint8_t type;
        bool hz;
        int16_t passUnit, stopUnit, centerUnit;
        long double passEntry, stopEntry, centerEntry; // as stored
        long double wantPass, wantStop, wantCenter;    // as read
    } cases[] = {
        {"lowpass in Hz: 2.0 and 1.0 are placeholders", Lowpass, true, 0, 1, 0, 2.0L, 1.0L, 7.0L, 1500.0L,
         3.0L, 7.0L},
        {"highpass in rad/s", Highpass, false, 1, 0, 0, 1.0L, 2.0L, 1.0L, twoPi * 1.5L, twoPi * 3000.0L,
         twoPi * 700.0L},
        {"bandpass: bandwidths from Bpb and Bsb", Bandpass, true, 0, 1, 0, 0.0L, 2.0L, 1.0L, 250.0L, 0.9L,
         700.0L},
        {"bandstop placeholders come from the bandwidths", Bandstop, true, 1, 0, 1, 1.0L, 0.0L, 2.0L, 0.25L,
         900.0L, 0.7L},
        {"user-defined uses the edges", UserDefined, true, 0, 0, 0, 1.0L, 0.0L, 3.0L, 1500.0L, 0.0L, 3.0L},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = newDesign(c.type);
        Specification& s = d->Spec;
        const std::pair<Real48*, long double> stored[] = {
            {&s.wpb, twoPi * 1500.0L}, {&s.wsb, twoPi * 3000.0L}, {&s.w0, twoPi * 700.0L},
            {&s.Bpb, twoPi * 250.0L},  {&s.Bsb, twoPi * 900.0L},  {&s.Apb, 0.5L},
            {&s.Asb, 60.0L},           {&s.ApbEntry, 0.0L},       {&s.AsbEntry, 45.0L},
            {&s.NormPassEdge, 1.0L},   {&s.Selectivity, 3.5L}};
        for (const auto& [field, value] : stored)
            *field = value;
        s.PassFreqUnit = c.passUnit;
        s.StopFreqUnit = c.stopUnit;
        s.CenterFreqUnit = c.centerUnit;
        s.PassFreqEntry = c.passEntry;
        s.StopFreqEntry = c.stopEntry;
        s.CenterFreqEntry = c.centerEntry;
        d->Opt.FreqUnitsHz = c.hz;
        auto out = newDesign();
        ASSERT_TRUE(DecodeDesign(encode(*d), *out).ok());
        // Each value passes through two roundings to 6-byte reals (2^-40 relative each).
        for (const auto& [got, want] : {std::pair{out->Spec.PassFreqEntry.value(), c.wantPass},
                                        {out->Spec.StopFreqEntry.value(), c.wantStop},
                                        {out->Spec.CenterFreqEntry.value(), c.wantCenter}})
            EXPECT_LE(std::fabs(got - want), 1e-11L * std::fabs(want))
                << double(got) << " vs " << double(want);
        EXPECT_EQ(out->Spec.ApbEntry.value(), Real48(0.5L).value()) << "a zero entry takes Apb";
        EXPECT_EQ(out->Spec.AsbEntry.value(), Real48(45.0L).value()) << "a typed entry stays";
        EXPECT_EQ(out->Spec.NormPassEdge.value(), 1.0L) << "kept as stored";
        EXPECT_EQ(out->Spec.Selectivity.value(), 3.5L) << "kept as stored";
    }
    // An AsbEntry of zero takes Asb.
    auto d = newDesign();
    d->Spec.Asb = 60.0L;
    auto out = newDesign();
    ASSERT_TRUE(DecodeDesign(encode(*d), *out).ok());
    EXPECT_EQ(out->Spec.AsbEntry.value(), 60.0L);
}

// ---- Rejected files ---------------------------------------------------------------------

struct Snapshot {
    Image image;
    std::string fileName;
    uint8_t modified, stepChanged, loading, loaded;
    long double ideal;

    static Snapshot of(const TDesign& d) {
        const long double ideal = d.Approx[1].Ideal[3].Phase.value();
        return {encode(d), d.FileName, d.Modified, d.StepChanged, d.Loading, d.LoadedFromFile, ideal};
    }
    bool operator==(const Snapshot&) const = default;
};

std::unique_ptr<TDesign> currentDesign() {
    auto d = newDesign(Bandstop);
    EXPECT_TRUE(DecodeDesign(Golden("elliptic_lowpass.fl3"), *d).ok());
    d->FileName = "/designs/current.fl3";
    d->Modified = 1;
    d->StepChanged = 1;
    d->Approx[1].Ideal[3].Phase = -45.0L;
    return d;
}

// Every refusal leaves the design as it was. The cases: the file cut short at each
// block boundary and one byte before it, values beyond what the design can hold, and
// figures of the specification that contradict one another.
TEST(DesignFile, RefusedFilesLeaveTheDesignAsItWas) {
    const int stages = 11;
    const Image good = Golden(kVaried);
    auto set16 = [](std::size_t at, int16_t v) { return [=](Image& im) { putI16(im, at, v); }; };
    auto set8 = [](std::size_t at, uint8_t v) { return [=](Image& im) { im[at] = v; }; };
    struct Case {
        const char* what;
        std::function<void(Image&)> change;
        DesignFileStatus status;
        std::string message = {}; // after "The design file ", where pinned here
    };
    const std::size_t g1 = groupAt(1);
    auto real = [](std::size_t index, long double v) {
        return [=](Image& im) {
            const Image x = r48(v);
            std::copy(x.begin(), x.end(), im.begin() + static_cast<std::ptrdiff_t>(54 + 6 * index));
        };
    };
    std::vector<Case> cases = {
        {"overall gain -1", real(14, -1), DesignFileStatus::BadContent,
         "has an overall gain of -1 V/V; it must be positive."},
        {"passband width -1", real(5, -1), DesignFileStatus::BadContent,
         "has a negative passband width (-1 rad/s)."},
        {"stopband edge -2", real(2, -2), DesignFileStatus::BadContent,
         "has a negative stopband edge (-2 rad/s)."},
        {"magic byte 0", set8(0, 0x04), DesignFileStatus::NotADesignFile},
        {"12 stages", set16(204, 12), DesignFileStatus::BadContent},
        {"-1 stages", set16(204, -1), DesignFileStatus::BadContent},
        {"12 pole entries", set16(218, 12), DesignFileStatus::BadContent},
        {"12 zero entries", set16(220, 12), DesignFileStatus::BadContent},
        {"approximation index 5", set16(206, 5), DesignFileStatus::BadContent},
        {"last approximation index 5", set16(208, 5), DesignFileStatus::BadContent},
        {"entry unit 2", set16(212, 2), DesignFileStatus::BadContent},
        {"design level 9", set8(kLevelAt, 9), DesignFileStatus::BadContent},
        {"filter type 5", set8(kLevelAt + 1, 5), DesignFileStatus::BadContent},
        {"selected approximation 5", set8(kLevelAt + 2, 5), DesignFileStatus::BadContent},
        {"tag longer than 8", set8(4, 9), DesignFileStatus::BadContent},
        {"flag string longer than 40", set8(kFlagsAt, 41), DesignFileStatus::BadContent},
        {"12 pole pairs in a computed result",
         [](Image& im) {
             im[kResultsAt + 4] = 0; // OrderTooHigh clear
             putI16(im, kResultsAt + 5, 12);
         },
         DesignFileStatus::BadContent},
        {"stage type 8", set8(g1 + kCoeffsIn, 8), DesignFileStatus::BadContent},
        {"pole entry 12", set16(g1 + kCoeffsIn + 257, 12), DesignFileStatus::BadContent},
        {"zero entry -1", set16(g1 + kCoeffsIn + 261, -1), DesignFileStatus::BadContent},
        {"circuit number 100", set16(g1 + 1, 100), DesignFileStatus::BadContent},
        {"circuit choice 14", set16(g1 + 3, 14), DesignFileStatus::BadContent},
        {"user text of 9 characters", set8(g1 + kUserIn + 1, 9), DesignFileStatus::BadContent},
    };
    // The block boundaries of the header, of the first stage's group and of the trailer.
    std::vector<std::size_t> boundaries = {1, 4, 13, 54, 204, kLevelAt, kPoleListAt, kZeroListAt};
    for (std::size_t at : {kPoleTableAt, kZeroTableAt, kResultsAt, kPoleEntriesAt, kZeroEntriesAt, kStagesAt})
        boundaries.push_back(at);
    for (std::size_t in : {kOptionsIn, kCoeffsIn, kCapSetIn, kUserIn, kGroup})
        boundaries.push_back(g1 + in);
    for (std::size_t at : {criteriaAt(stages), adjustedAt(stages), adjustedAt(stages) + 77, good.size()})
        boundaries.push_back(at);
    for (std::size_t b : boundaries)
        for (std::size_t size : {b - 1, b})
            if (size < good.size())
                cases.push_back({"cut short", [size](Image& im) { im.resize(size); },
                                 size < 4 ? DesignFileStatus::NotADesignFile : DesignFileStatus::Truncated});
    cases.push_back(
        {"cut short in stage 2", [&](Image& im) { im.resize(groupAt(2) + 100); }, DesignFileStatus::Truncated,
         "is incomplete: it ends in stage 2 (8367 bytes of " + std::to_string(good.size()) + ")."});
    for (const Case& c : cases) {
        Image im = good;
        c.change(im);
        SCOPED_TRACE(testing::Message() << c.what << ", " << im.size() << " bytes");
        auto out = currentDesign();
        const Snapshot before = Snapshot::of(*out);
        const DesignFileResult r = DecodeDesign(im, *out);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.status, c.status) << app::DesignFileMessage(r);
        EXPECT_TRUE(Snapshot::of(*out) == before);
        if (c.status == DesignFileStatus::NotADesignFile)
            EXPECT_EQ(app::DesignFileMessage(r), "Invalid Velmora design file");
        else if (!c.message.empty())
            EXPECT_EQ(app::DesignFileMessage(r), "The design file " + c.message);
        else
            EXPECT_EQ(app::DesignFileMessage(r).rfind("The design file ", 0), 0u)
                << app::DesignFileMessage(r);
    }
    // The same counts are accepted where nothing indexes by them.
    Image im = good;
    im[kResultsAt + 4] = 1; // OrderTooHigh: the counts of the result index nothing
    putI16(im, kResultsAt + 5, 25);
    auto out = newDesign();
    EXPECT_TRUE(DecodeDesign(im, *out).ok());
    EXPECT_EQ(out->Approx[0].Result.PolePairs, 25);
}

// ---- Failed saves ---------------------------------------------------------------------------------

TEST(DesignFile, AFailedSaveKeepsThePreviousFile) {
    auto d = newDesign(Bandpass);
    const Image previous = Golden(kVaried);
    const fs::path dir = test::MakeTempDir("velmora_design_file_"), target = dir / "design.fl3";
    test::WriteBytes(target, previous);
    // The disk fills up in the middle of the write: a file size limit makes the write
    // fail the way a full disk does, for any user.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const DesignFileResult r = WriteDesignFile(*d, target);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.status, DesignFileStatus::IoError);
    EXPECT_EQ(app::DesignFileMessage(r).rfind(target.string() + ": ", 0), 0u) << app::DesignFileMessage(r);
    EXPECT_EQ(test::ReadBytes(target), previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file is left";
    fs::remove_all(dir);
}

// The settings file: the reading rules of every key, the written form against
// hand-written text and back through a file, and the recent-file rule; and the
// component inventory file beside it.
TEST(Settings, ReadingRulesOfEveryKey) {
    auto R = [](const Settings& s) { return s.ResistorTolerance.value(); };
    auto C = [](const Settings& s) { return s.CapacitorTolerance.value(); };
    auto Op = [](const Settings& s) { return s.OpAmpTolerance.value(); };
    auto N = [](const Settings& s) { return s.OpAmpNoise.value(); };
    const struct Case {
        const char* text;
        std::function<bool(const Settings&)> holds;
        const char* what;
    } cases[] = {
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
    const Settings s{.MainLeft = 5,
                     .MainTop = 6,
                     .ZoomX = 1,
                     .UseCapInventory = true,
                     .FreqUnitsHz = false,
                     .ResistorTolerance = 0.25L,
                     .CapacitorTolerance = 10.0L,
                     .AllCapsStandard = true,
                     .OpAmpTolerance = 5.0L,
                     .RecentFiles = {"/home/u/one.fl3", "/home/u/two.fl3"}};
    // One section a line.
    const std::string expected =
        "[General]\nMainposn=5,6\nZoomX=1\nZoomY=4\nVZoomX=4\nVZoomY=4\n\n"
        "[Component inventory]\nUsecap=TRUE\nUseres=FALSE\n\n"
        "[Settings]\nFrequency units=rad/s\n\n"
        "[Component Characteristics]\nRTolerance=0.25\nCTolerance=10\nAllCapsStnd=TRUE\n"
        "OpTolerance= 5\nNoise= 1.2E+1\n\n"
        "[Recent file list]\nFile1=/home/u/one.fl3\nFile2=/home/u/two.fl3\n";
    EXPECT_EQ(std::tuple(SettingsText(s), ParseSettings(expected)), std::tuple(expected, s));

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
        putI16(b, 996 + 2 * k, ranges[k]);
    return b;
}

TEST(InventoryFile, HandBuiltImageReadsFieldByFieldAndWritesBackByteExact) {
    InventoryProblem problem;
    const auto inv = DecodeInventory(HandBuiltImage(), problem);
    ASSERT_TRUE(inv) << app::InventoryProblemText(problem);
    const struct Mark {
        InventoryKind kind;
        int decade, position;
    } set[] = {{InventoryKind::Resistors1, 0, 0},  {InventoryKind::Resistors1, 3, 67},
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
    } ranges[] = {{996, 0, 8, "1 % resistor range (0, 8)"},
                  {1000, -1, 3, "5 % resistor range (-1, 3)"},
                  {1008, 0, 7, "capacitor range (0, 7)"},
                  {1008, 5, 2, "capacitor range (5, 2)"}};
    for (const auto& r : ranges) {
        auto b = image;
        putI16(b, r.at, r.first);
        putI16(b, r.at + 2, r.end);
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
