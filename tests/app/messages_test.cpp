// Every code the computation returns, with its facts, against the exact sentence the
// person reads. The sentences are the program's established texts: a change here is a
// change of what both front ends show. The parameter table against the help and the
// reference that state each option's range and default.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/messages.h"
#include "app/parameters.h"
#include "cli.h"

namespace velmora::app {
namespace {

TEST(Messages, EveryCodeHasItsText) {
    using U = UserAddStatus;
    const struct {
        std::string text, expected;
    } cases[] = {
        {UserAddMessage(U::Ok), ""},
        {UserAddMessage(U::OrderExceeded),
         "Unable to add section as maximum filter order of 20 will be exceeded."},
        {UserAddMessage(U::TooManyFirstOrder),
         "Unable to add section as a filter can have at most 2 first order sections."},
        {UserAddMessage(U::TooManySections),
         "Unable to add section as maximum number of sections of 11 will be exceeded."},
        {UserAddMessage(U::NotPositive), "Value must be non-zero."},
        {UserAddMessage(U::QTooLow), "Q must be >0.5."},
        {UserAddMessage(U::QTooHigh), "Q must not exceed 300."},
        {UserAddMessage(U::FrequencyTooHigh),
         "All pole and zero frequencies are limited to a maximum of 100MHz (628Mrad/s)."},
        {UserAddMessage(U::OutOfRange), "Unable to add section as its values are too large or too small."},
        {UserAddMessage(U::SectionGainOutOfRange),
         "Section gain must lie between 0.1V/V and 1000V/V (60dB)."},
        {UserAddMessage(U::GainOutOfRange),
         "Unable to add section as the overall filter gain would leave 0.1V/V to 1000V/V (60dB)."},
        {UserAddMessage(U::TextTooLong), "Unable to add section as an entry is longer than 8 characters."},
        {RecalcMessage(RecalcStatus::Ok), ""},
        {RecalcMessage(RecalcStatus::NotAmenable),
         "This circuit is not amenable to the independent adjustment of capacitor values."},
        {RecalcMessage(RecalcStatus::Locked),
         "Capacitor values are locked while standard resistor values are in use."},
        {RecalcMessage(RecalcStatus::Singular), "Singular matrix"},
        {RecalcMessage(RecalcStatus::Invalid), "Invalid solution for these capacitor values"},
        {RecalcMessage(RecalcStatus::Failed), "Component calculations fail for these capacitor values."},
        {GainChangeReport(0.0L), ""},
        {GainChangeReport(1.0L / 1.05L - 1.0L),
         "Stage gain has decreased by 4.76% from its origional value."},
        {GainChangeReport(0.05L), "Stage gain has increased by 5.00% from its origional value."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, c.expected);
}

TEST(Messages, RefusalsNameTheirFacts) {
    const auto file = [](DesignFileProblem p, std::string field = {}, int stage = 0, int approximation = -1,
                         long long value = 0, long long low = 0, long long limit = 0,
                         long double number = 0) {
        return DesignFileMessage({DesignFileStatus::BadContent,
                                  p,
                                  std::move(field),
                                  stage,
                                  approximation,
                                  value,
                                  low,
                                  limit,
                                  number,
                                  {}});
    };
    const auto circuits = [](CircuitsStatus s, int stage, int type = 0, std::string key = {},
                             std::string failed = {}, long double c1 = 0) {
        return CircuitsMessage({false, s, stage, type, std::move(key), std::move(failed), c1});
    };
    using P = DesignFileProblem;
    using C = CircuitsStatus;
    const std::string f = "The design file ";
    const struct {
        std::string text, expected;
    } cases[] = {
        {file(P::None), ""},
        {file(P::NotADesignFile), "Invalid Velmora design file"},
        {file(P::EndsEarly, "the pole list", 0, -1, 300, 0, 7719),
         f + "is incomplete: it ends in the pole list (300 bytes of 7719)."},
        {file(P::EndsEarly, "", 2, -1, 5000, 0, 9000),
         f + "is incomplete: it ends in stage 2 (5000 bytes of 9000)."},
        {file(P::TooMany, "stages", 0, -1, 12, 0, 11), f + "holds 12 stages; a design has room for 11."},
        {file(P::OutOfRange, "design level", 0, -1, 9, 0, 8),
         f + "has design level 9; it must lie between 0 and 8."},
        {file(P::OutOfRange, "stage type", 3, -1, 9, 0, 7),
         f + "has in stage 3 stage type 9; it must lie between 0 and 7."},
        {file(P::OutOfRange, "table count", 0, 2, 40, 0, 20),
         f + "has a table count of approximation 2 40; it must lie between 0 and 20."},
        {file(P::GainNotPositive, "", 0, -1, 0, 0, 0, -0.5L),
         f + "has an overall gain of -0.5 V/V; it must be positive."},
        {file(P::NegativeFrequency, "stopband edge", 0, -1, 0, 0, 0, -12.5L),
         f + "has a negative stopband edge (-12.5 rad/s)."},
        {file(P::MissingFrequency, "passband edge"),
         f + "has a computed specification without its passband edge."},
        {file(P::DamagedTag), f + "has a damaged tag."},
        {file(P::DamagedFlags), f + "has a damaged flag string."},
        {file(P::LongApproximationText), f + "has an approximation text longer than its field."},
        {file(P::LongStageText, "", 4), f + "has a text in stage 4 longer than its field."},
        {file(P::NoCapacitorRecord, "", 1, -1, 14, 0, 13),
         f + "has in stage 1 circuit number 14, which selects none of the stage's 13 capacitor records."},
        {file(P::UserSectionsInvalid), "The design file's user-defined sections do not form a valid filter."},
        {file(P::NoCircuit, "", 2), f + "has no circuit for stage 2, though its circuits were selected."},
        {file(P::UnknownCircuit, "", 2, -1, 77),
         f + "has in stage 2 circuit number 77, which names no circuit."},
        {file(P::SaveTooManyStages, "", 0, -1, 12), "The design cannot be saved: it has 12 stages."},
        {file(P::SaveTextTooLong), "The design cannot be saved: a text is too long."},
        {file(P::SaveTextTooLong, "name", 3),
         "The design cannot be saved: the name of stage 3 is longer than the file has room for."},
        {file(P::SaveTextTooLong, "gain constant text", 0, 1),
         "The design cannot be saved: the gain constant text of approximation 1 is longer than the file has "
         "room for."},
        {circuits(C::Ok, 0), ""},
        {circuits(C::NotCascaded, 0), "The design has no cascaded stages yet."},
        {circuits(C::NotRealisable, 2, 0, "SLP03"), "Circuit SLP03 cannot be realised for stage 2."},
        {circuits(C::NoCircuit, 3), "No circuit of the catalogue can realise stage 3."},
        {circuits(C::NoCompensation, 1), "Active compensation is not available for the circuit of stage 1."},
        {circuits(C::NoPredistortion, 1), "Predistortion is not available for the first-order stage 1."},
        {circuits(C::NotActualised, 0, 0, "", "2, 3"),
         "Velmora has been unable to actualize the circuit of stage 2, 3."},
        {circuits(C::BadStart, 2, 0, "", "", 1.0e-9L),
         "The circuit of stage 2 cannot be built from a starting capacitor of 1nF."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, c.expected);
}

// The parameter table against what a person reads: the command line's help and its
// reference in docs/cli.md must state each parameter's range and default as the table
// does, and the checks must take a range's edges and refuse what lies beyond.
std::string Help(const std::string& command) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"velmora", command, "--help"}, out, err), 0);
    return out.str();
}

// The table rows of docs/cli.md that document an option: a row whose text holds
// "`--name" followed by a space, a backquote or a comma.
std::vector<std::string> DocRows(const std::string& doc, std::string_view name) {
    std::vector<std::string> rows;
    std::istringstream lines(doc);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("|", 0) != 0) continue;
        const std::string tag = "`--" + std::string(name);
        for (std::size_t at = line.find(tag); at != std::string::npos; at = line.find(tag, at + 1)) {
            const char next = at + tag.size() < line.size() ? line[at + tag.size()] : '\0';
            if (next == ' ' || next == '`' || next == ',') {
                rows.push_back(line);
                break;
            }
        }
    }
    return rows;
}

TEST(Parameters, HelpAndReferenceAgreeWithTheTable) {
    std::ifstream file(std::string(VELMORA_SOURCE_DIR) + "/docs/cli.md");
    ASSERT_TRUE(file) << "docs/cli.md";
    const std::string doc((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::pair<unsigned, std::string> commands[] = {
        {kDesignCommand, Help("design")}, {kUserCommand, Help("user")}, {kOpenCommand, Help("open")}};
    for (const Parameter& p : Parameters()) {
        SCOPED_TRACE(std::string(p.name));
        for (const auto& [bit, help] : commands) {
            const bool listed = help.find("\n  --" + std::string(p.name) + " ") != std::string::npos;
            EXPECT_EQ(listed, (p.commands & bit) != 0)
                << "the command takes it exactly when the table says so";
            if (listed) {
                EXPECT_NE(help.find(HelpText(p)), std::string::npos) << help;
            }
        }
        if (p.commands == 0) continue; // a window's field, no option: neither listed nor documented
        if (p.name == "section") {     // documented by its section types
            EXPECT_NE(doc.find("`--section`"), std::string::npos);
            continue;
        }
        const std::vector<std::string> rows = DocRows(doc, p.name);
        ASSERT_FALSE(rows.empty()) << "no row of docs/cli.md documents --" << p.name;
        for (std::string_view part : {p.range, p.defaultValue})
            if (!part.empty()) {
                EXPECT_NE(rows.front().find(part), std::string::npos) << part << " in: " << rows.front();
            }
        for (const std::string& choice : Choices(p))
            if (p.kind == ParameterKind::Choice) {
                EXPECT_NE(rows.front().find(choice), std::string::npos) << choice << " in: " << rows.front();
            }
    }
}

// Every ranged parameter takes its edges and refuses a value just beyond each (the
// checks read the same table as the help), a NaN never passing; the command line's
// refusals show the readers of each kind at work.
TEST(Parameters, RangesTakeTheirEdgesAndRefuseBeyond) {
    for (const Parameter& p : Parameters()) {
        if (!p.ranged) continue;
        SCOPED_TRACE(std::string(p.name));
        EXPECT_LT(p.low, p.high);
        EXPECT_EQ(WithinRange(p, p.low), !p.lowExcluded);
        EXPECT_TRUE(WithinRange(p, p.high));
        EXPECT_FALSE(WithinRange(p, p.high * (1 + 1e-9L) + 1e-30L));
        EXPECT_FALSE(WithinRange(p, std::numeric_limits<long double>::quiet_NaN()));
        if (p.low > 0) {
            EXPECT_FALSE(WithinRange(p, p.low * (1 - 1e-9L)));
        }
    }
}

} // namespace
} // namespace velmora::app
