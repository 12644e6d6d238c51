// The velmora command line: argument parsing and the reports, over the application layer.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora::cli {

// Runs the command line with its arguments (args[0] is the program name) and
// returns the exit status: 0 success, 1 design or file failure, 2 usage error.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace velmora::cli
