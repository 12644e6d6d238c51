// The parameter table against what a person reads: the command line's help and its
// reference in docs/cli.md must state each parameter's range and default as the table
// does, and the checks must take a range's edges and refuse what lies beyond.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/parameters.h"
#include "cli.h"

namespace velmora::app {
namespace {

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
