// Fuzz target: the design-file reader on arbitrary bytes.
//
// Besides crashes and sanitizer reports, two properties of the reader are checked:
//  - a rejected file leaves the design exactly as it was (its image is unchanged);
//  - an accepted file is normalised once: the writer's image of the design read reads
//    back to a design with the very same image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "model/design_file.h"

namespace {

std::vector<uint8_t> ImageOf(const velmora::TDesign& d) {
    std::vector<uint8_t> image;
    if (!velmora::EncodeDesign(d, image).ok()) std::abort();
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace velmora;
    static const std::vector<uint8_t> untouched = ImageOf(TDesign{});

    auto d = std::make_unique<TDesign>();
    const DesignFileResult read = DecodeDesign(std::span(data, size), *d);
    if (!read.ok()) {
        // Every refusal says why: a problem code, or the system's reason.
        if (read.problem == DesignFileProblem::None && read.systemMessage.empty()) std::abort();
        if (ImageOf(*d) != untouched) std::abort();
        return 0;
    }
    const std::vector<uint8_t> image = ImageOf(*d);
    auto again = std::make_unique<TDesign>();
    if (!DecodeDesign(image, *again).ok()) std::abort();
    if (ImageOf(*again) != image) std::abort();
    return 0;
}
