// The command line over what it reads: texts of a design file in the JSON document,
// design files whose fields contradict one another, and the inventory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli.h"
#include "model/real48.h"
#include "support/cli_run.h"
#include "support/temp_files.h"

namespace velmora::cli {
namespace {

namespace fs = std::filesystem;

using velmora::test::Result;
using velmora::test::Velmora;

void WriteText(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// The gain-constant text of a design file holds bytes that are not UTF-8 when the file
// was written on a Latin-1 system; the JSON document must still come out, and say the
// same text in UTF-8. Each case replaces the text of the first approximation, in a file
// the program wrote, by the stored bytes (same length, so the layout stays as it was).
TEST(CliInputs, JsonTakesEveryByteOfAStoredText) {
    const fs::path dir = test::MakeTempDir("velmora_cli_texts_");
    const fs::path file = dir / "d.fl3";
    Result r = Velmora({"design", "--save", file.string(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string original = nlohmann::json::parse(r.out)["approximations"][0]["gain_constant_text"];
    const std::string bytes = test::ReadText(file);
    const std::string stored = std::string(1, static_cast<char>(original.size())) + original;
    const std::size_t at = bytes.find(stored);
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(original.size(), 4u);

    struct Case {
        std::string storedTail; // replaces the last characters of the text
        std::string jsonTail;   // what the document must show for them, as UTF-8
    } cases[] = {
        {"\xB1", "\xC2\xB1"},                                     // Latin-1 plus-minus sign
        {"\xB5\xFF", "\xC2\xB5\xC3\xBF"},                         // micro sign, y with diaeresis
        {"a\xC3", "a\xC3\x83"},                                   // a sequence cut short: read as Latin-1
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},             // an encoded surrogate is no UTF-8
        {std::string("\x01\x00", 2), std::string("\x01\x00", 2)}, // control bytes, escaped by JSON
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.jsonTail);
        std::string text = original;
        text.replace(text.size() - c.storedTail.size(), c.storedTail.size(), c.storedTail);
        std::string changed = bytes;
        changed.replace(at + 1, text.size(), text);
        WriteText(file, changed);
        Result open = Velmora({"open", file.string(), "--json"});
        ASSERT_EQ(open.status, 0) << open.err;
        const auto j = nlohmann::json::parse(open.out);
        std::string expected = original.substr(0, original.size() - c.storedTail.size()) + c.jsonTail;
        EXPECT_EQ(j["approximations"][0]["gain_constant_text"].get<std::string>(), expected);
    }
    fs::remove_all(dir);
}

// A design file whose fields contradict one another is refused with the reason, and
// nothing is reported; each case is one change to a file the program wrote (a bandstop
// design at the final level: stages SN09, SHPN01, SLPN10), at the offsets of the layout:
// header reals from byte 54 (6 bytes each: Asb, Apb, wsb, wpb, w0, Bpb, Bsb, ...,
// OverallGain 15th), stage groups of 548 bytes from byte 7719 (circuit number at +1,
// stage type at +129).
TEST(CliInputs, ContradictoryDesignFilesAreRefused) {
    const fs::path dir = test::MakeTempDir("velmora_cli_contradictions_");
    const fs::path file = dir / "bs.fl3", changed = dir / "changed.fl3", again = dir / "again.fl3";
    ASSERT_EQ(Velmora({"design", "--type", "bandstop", "--save", file.string()}).status, 0);
    const std::string good = test::ReadText(file);
    auto real = [](std::size_t index, long double v) {
        return [=](std::string& b) {
            const Real48::Bytes x = encodeReal48(v);
            std::copy(x.begin(), x.end(), b.begin() + static_cast<std::ptrdiff_t>(54 + 6 * index));
        };
    };
    auto stageByte = [](int stage, std::size_t in, uint8_t v) {
        return [=](std::string& b) { b[7719 + (stage - 1) * 548 + in] = static_cast<char>(v); };
    };
    struct Case {
        const char* what;
        std::function<void(std::string&)> change;
        std::string message; // after "velmora: The design file "
    } cases[] = {
        {"stage type FLP built as SLPN10", stageByte(3, 129, 0),
         "has in stage 3 a stage of type FLP built as SLPN10, a circuit for SLPN stages."},
        {"circuit number 99", stageByte(1, 1, 99),
         "has in stage 1 circuit number 99, which names no circuit."},
        {"no circuit chosen at the final level", stageByte(2, 3, 0),
         "has no circuit for stage 2, though its circuits were selected."},
        {"centre frequency 0", real(4, 0), "has a computed specification without its centre frequency."},
        {"all-zero body", [](std::string& b) { std::fill(b.begin() + 54, b.end(), '\0'); },
         "has an overall gain of 0 V/V; it must be positive."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.change(bytes);
        ASSERT_NE(bytes, good);
        WriteText(changed, bytes);
        Result r = Velmora({"open", changed.string(), "--save", again.string()});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "velmora: The design file " + c.message + "\n");
        EXPECT_TRUE(r.out.empty());
        EXPECT_FALSE(fs::exists(again));
    }
    fs::remove_all(dir);
}

// An inventory whose 1 % resistors are stocked in one decade (1 kOhm to 9.76 kOhm) and
// everything else in full; another with no capacitor at all. Resistors far beyond the
// stock keep their exact values with a note, so the filter stays the one designed (it
// used to take 9.76 kOhm for every resistor and rise 14.6 dB at 1 kHz); capacitors with
// nothing in stock stay as they are, and the run says so.
TEST(CliInputs, ANarrowInventoryKeepsFarValuesExact) {
    const fs::path dir = test::MakeTempDir("velmora_cli_inventory_");
    auto inventory = [&](const char* name, bool capacitors, std::array<int16_t, 8> ranges) {
        std::string bytes(924, '\1');
        bytes += std::string(72, capacitors ? '\1' : '\0');
        for (int16_t v : ranges) {
            bytes += static_cast<char>(v & 0xFF);
            bytes += static_cast<char>(v >> 8);
        }
        WriteText(dir / name, bytes);
        return (dir / name).string();
    };
    const std::string narrow = inventory("narrow.dat", true, {3, 4, 0, 7, 0, 7, 0, 6});
    const std::string noCaps = inventory("nocaps.dat", false, {0, 7, 0, 7, 0, 7, 0, 6});

    Result r = Velmora({"design", "--standard-r", "1", "--inventory", narrow, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    std::string notes;
    for (const auto& n : j["notes"])
        notes += n.get<std::string>() + "\n";
    EXPECT_TRUE(r.err.empty()) << r.err;
    int kept = 0;
    for (const auto& c : j["circuits"])
        for (const auto& [name, value] : c["standard_components"].items()) {
            if (name[0] != 'R') continue;
            const double exact = c["components"][name], standard = value;
            SCOPED_TRACE(name + " " + std::to_string(exact));
            if (standard == exact) {
                ++kept;
                EXPECT_NE(notes.find(name + " keeps its exact value"), std::string::npos);
            } else {
                EXPECT_GE(standard, 1000.0);
                EXPECT_LE(standard, 9760.0);
            }
        }
    EXPECT_GT(kept, 0);
    EXPECT_NE(notes.find("(outside the resistors in stock, 1K to 9.76K)"), std::string::npos) << notes;
    // The realised passband is that of the exact values, within the 1 % of one resistor.
    const auto& exact = j["final_response"]["samples"];
    const auto& standard = j["final_response_standard"]["samples"];
    ASSERT_EQ(exact.size(), standard.size());
    for (std::size_t k = 0; k < exact.size(); ++k) {
        if (exact[k]["f_hz"].get<double>() > 1000.0) continue;
        EXPECT_NEAR(standard[k]["gain_db"].get<double>(), exact[k]["gain_db"].get<double>(), 0.1);
    }

    Result plain = Velmora({"design", "--json"});
    r = Velmora({"design", "--all-caps-standard", "--inventory", noCaps, "--json"}); // no capacitor in stock
    ASSERT_EQ(r.status, 0) << r.err;
    const auto a = nlohmann::json::parse(plain.out), b = nlohmann::json::parse(r.out);
    EXPECT_EQ(b["notes"],
              nlohmann::json::array(
                  {"No capacitor of the inventory range is in stock: the capacitors keep their values."}));
    for (std::size_t i = 0; i < a["circuits"].size(); ++i)
        EXPECT_EQ(a["circuits"][i]["components"], b["circuits"][i]["components"]);
    fs::remove_all(dir);
}

} // namespace
} // namespace velmora::cli
