// Fuzz target: the component inventory reader on arbitrary bytes.
//
// Besides crashes and sanitizer reports: a refusal always says why, and an accepted
// block is exactly what the writer makes of the inventory read (the layout has no
// slack: every byte is a mark or a range).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "model/inventory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace velmora;
    const std::vector<uint8_t> bytes(data, data + size);
    InventoryProblem why;
    const std::optional<Inventory> inv = DecodeInventory(bytes, why);
    if (!inv) {
        if (why.kind == InventoryProblem::Kind::None) std::abort(); // a refusal always says why
        return 0;
    }
    if (EncodeInventory(*inv) != bytes) std::abort();
    InventoryProblem again;
    if (DecodeInventory(EncodeInventory(*inv), again) != inv) std::abort();
    return 0;
}
