// Fuzz target: the settings reader on arbitrary text.
//
// Besides crashes and sanitizer reports: whatever the reader makes of a text, the
// writer's text of those settings reads back to the same settings (the op-amp tolerance
// is written as a whole number of percent), and writing them again gives the same text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace velmora;
    const Settings read = ParseSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string text = SettingsText(read);
    const Settings back = ParseSettings(text);
    Settings expected = read;
    expected.OpAmpTolerance = std::trunc(read.OpAmpTolerance.value());
    if (!(back == expected)) std::abort();
    if (SettingsText(back) != text) std::abort();
    return 0;
}
