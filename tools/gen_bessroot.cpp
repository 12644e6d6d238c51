// Generates data/BessRoot.dat, the table of Bessel filter poles of orders 1 to 20.
//
// Usage: gen_bessroot <output file>
//
// The poles are the roots of the reverse Bessel polynomials, found in long double and
// polished by Newton's method (src/approx/bessel_roots.cpp), then stored as 6-byte
// reals in the layout the Bessel calculation reads. The committed data file is this
// program's output; a test checks that they agree.
#include <cstdio>
#include <fstream>
#include <vector>

#include "approx/bessel_roots.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_bessroot <output file>\n");
        return 2;
    }
    const std::vector<uint8_t> image = velmora::BesselRootFileImage();
    if (image.size() != static_cast<std::size_t>(velmora::kBesselFileBytes)) {
        std::fprintf(stderr, "gen_bessroot: the root iteration did not settle\n");
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "gen_bessroot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
