// The catalogue keys resolved to their routines, over the four family tables. Kept in its
// own file so that the shared helpers link without the family tables.
#include "circuits/circuit_design.h"

namespace velmora {

const CircuitRoutines* FindCircuit(std::string_view key) {
    for (const auto table :
         {FirstOrderCircuits(), LowpassCircuits(), HighpassBandpassCircuits(), NotchCircuits()})
        for (const CircuitRoutines& r : table)
            if (r.key == key) return &r;
    return nullptr;
}

} // namespace velmora
