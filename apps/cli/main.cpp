#include <iostream>

#include "cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    return velmora::cli::Run(args, std::cout, std::cerr);
}
