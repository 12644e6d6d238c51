// Runs the command line in-process, as a test drives it: the arguments after the
// program name, and what it printed on stdout and stderr with its exit status.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli.h"

namespace velmora::test {

struct Result {
    int status;
    std::string out, err;
};

inline Result Velmora(std::vector<std::string> args) {
    args.insert(args.begin(), "velmora");
    std::ostringstream out, err;
    const int status = cli::Run(args, out, err);
    return {status, out.str(), err.str()};
}

// The JSON document of a run that must succeed (--json is added).
inline nlohmann::json VelmoraJson(std::vector<std::string> args) {
    args.push_back("--json");
    const Result r = Velmora(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? nlohmann::json::parse(r.out) : nlohmann::json::object();
}

} // namespace velmora::test
