// The component inventory: which preferred values the user has in stock, and the
// decade ranges the inventory covers. It is kept in "RCInvent.dat" in the per-user
// data folder as one block of 1012 bytes:
//
//   offset  size  content
//        0   672  1 % resistors: 7 decades x 96 positions, byte d*96 + p, 1 = in stock
//      672   168  5 % resistors: 7 decades x 24 positions
//      840    84  10 % resistors: 7 decades x 12 positions
//      924    72  capacitors: 6 decades x 12 positions
//      996     4  1 % resistor range: first decade index, last decade index + 1 (int16 LE each)
//     1000     4  5 % resistor range
//     1004     4  10 % resistor range
//     1008     4  capacitor range
//
// Resistor decade d holds 10^d .. 9.76 x 10^d ohm (d = 0..6); capacitor decade d holds
// 10 x 10^d .. 82 x 10^d pF (d = 0..5). A range (first, end) covers the decades
// first <= d < end; resistor range indices run 0..7 ("1" .. "10M"), capacitor indices
// 0..6 ("10pF" .. "10uF").
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/file_io.h"

namespace velmora {

inline constexpr int kResistorDecades = 7;
inline constexpr int kCapacitorDecades = 6;
inline constexpr std::size_t kInventoryFileSize = 1012;

// The sections of the inventory, in file order.
enum class InventoryKind { Resistors1, Resistors5, Resistors10, Capacitors };

struct InventoryRange {
    int16_t first = 0; // first decade shown and used
    int16_t end = 0;   // one past the last
    bool operator==(const InventoryRange&) const = default;
};

struct InventorySection {
    int positions = 0;          // values per decade: 96, 24 or 12
    int decades = 0;            // 7 or 6
    std::vector<uint8_t> marks; // decades x positions, 1 = in stock
    InventoryRange range;
    bool operator==(const InventorySection&) const = default;

    bool InStock(int decade, int position) const;
    void SetMark(int decade, int position, bool inStock);
    // The largest range end (7 for resistors, 6 for capacitors).
    int RangeLimit() const { return decades; }
};

struct Inventory {
    std::array<InventorySection, 4> sections; // indexed by InventoryKind
    bool operator==(const Inventory&) const = default;

    InventorySection& operator[](InventoryKind k) { return sections[static_cast<std::size_t>(k)]; }
    const InventorySection& operator[](InventoryKind k) const {
        return sections[static_cast<std::size_t>(k)];
    }
};

// Every value in stock and every range the widest: the inventory of a new installation.
Inventory FullInventory();

// The file image of an inventory (always kInventoryFileSize bytes).
std::vector<uint8_t> EncodeInventory(const Inventory& inv);

// What is wrong with the contents of an inventory file (the texts are composed by the
// application layer's messages).
struct InventoryProblem {
    enum class Kind { None, Size, Mark, Range, Layout, TooLarge };
    Kind kind = Kind::None;
    std::size_t size = 0, expected = 0;  // Size: the file's bytes and the inventory's; TooLarge: the limit
    int section = 0;                     // Mark, Range: 0..3, the 1, 5 and 10 % resistors, the capacitors
    int mark = 0;                        // Mark: the value found
    std::size_t byte = 0;                // Mark: its offset in the file
    int first = 0, end = 0, decades = 0; // Range: as found, and the section's decade count
};
// The section names the problems use: "1 % resistor", "5 % resistor", "10 % resistor",
// "capacitor".
const char* InventorySectionName(int section);

// Reads a file image. Refused (nothing returned, `problem` says what is wrong) unless it
// has exactly the file's size, every mark is 0 or 1, and every range has
// 0 <= first < end <= its decade count.
std::optional<Inventory> DecodeInventory(const std::vector<uint8_t>& data, InventoryProblem& problem);

// The per-user data folder: $XDG_DATA_HOME/velmora when that is an absolute path, else
// $HOME/.local/share/velmora; nothing when neither names a folder.
std::optional<std::string> UserDataFolder();
inline constexpr const char* kInventoryFileName = "RCInvent.dat";
// The inventory file in that folder.
std::optional<std::string> InventoryFilePath();

enum class InventoryReadStatus { Read, Missing, Unreadable, Damaged };
struct InventoryReadResult {
    InventoryReadStatus status = InventoryReadStatus::Missing;
    std::string message;      // Unreadable: the system's message
    InventoryProblem problem; // Damaged: what is wrong with the contents
};
// Reads the inventory file into `inv`, which is changed only when the file is read and
// valid.
InventoryReadResult ReadInventoryFile(const std::string& path, Inventory& inv);

// Writes the whole block safely (temporary file, then rename), creating the folder.
FileIoResult WriteInventoryFile(const std::string& path, const Inventory& inv);

} // namespace velmora
