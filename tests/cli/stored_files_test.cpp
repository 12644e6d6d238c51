// The command line over the design files it reads: stored texts in the JSON document,
// and files whose fields contradict one another.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

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

} // namespace
} // namespace velmora::cli
