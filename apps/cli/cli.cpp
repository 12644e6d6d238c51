#include "cli.h"

#include <ostream>

namespace velmora::cli {

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    (void)args;
    (void)err;
    out << "velmora " << VELMORA_VERSION << "\n";
    return 0;
}

} // namespace velmora::cli
