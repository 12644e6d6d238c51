#include "model/inventory_file.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <system_error>

#include "model/byte_io.h"

namespace velmora {
namespace {

struct SectionLayout {
    int positions, decades;
};
// File order: 1 %, 5 %, 10 % resistors, capacitors; the four ranges follow the marks.
constexpr std::array<SectionLayout, 4> kLayout = {
    {{96, kResistorDecades}, {24, kResistorDecades}, {12, kResistorDecades}, {12, kCapacitorDecades}}};

constexpr const char* kSectionNames[] = {"1 % resistor", "5 % resistor", "10 % resistor", "capacitor"};

// A file this large is not an inventory, whatever it holds; reading stops there.
constexpr std::size_t kLargestRead = 1 << 16;

} // namespace

bool InventorySection::InStock(int decade, int position) const {
    if (decade < 0 || decade >= decades || position < 0 || position >= positions) return false;
    return marks[static_cast<std::size_t>(decade * positions + position)] == 1;
}

void InventorySection::SetMark(int decade, int position, bool inStock) {
    if (decade < 0 || decade >= decades || position < 0 || position >= positions) return;
    marks[static_cast<std::size_t>(decade * positions + position)] = inStock ? 1 : 0;
}

Inventory FullInventory() {
    Inventory inv;
    for (std::size_t k = 0; k < kLayout.size(); ++k) {
        InventorySection& s = inv.sections[k];
        s.positions = kLayout[k].positions;
        s.decades = kLayout[k].decades;
        s.marks.assign(static_cast<std::size_t>(s.positions * s.decades), 1);
        // The range indices name decade edges: resistors 1 ohm .. 10 Mohm is (0, 7),
        // capacitors 10 pF .. 10 uF is (0, 6).
        s.range = {0, static_cast<int16_t>(s.decades)};
    }
    return inv;
}

std::vector<uint8_t> EncodeInventory(const Inventory& inv) {
    ByteWriter w;
    for (const InventorySection& s : inv.sections)
        w.bytes(s.marks);
    for (const InventorySection& s : inv.sections) {
        w.i16(s.range.first);
        w.i16(s.range.end);
    }
    return w.data();
}

const char* InventorySectionName(int section) {
    return section >= 0 && section < 4 ? kSectionNames[section] : "";
}

std::optional<Inventory> DecodeInventory(const std::vector<uint8_t>& data, InventoryProblem& problem) {
    problem = {};
    if (data.size() != kInventoryFileSize) {
        problem.kind = InventoryProblem::Kind::Size;
        problem.size = data.size();
        problem.expected = kInventoryFileSize;
        return std::nullopt;
    }
    Inventory inv = FullInventory();
    ByteReader r(data);
    for (std::size_t k = 0; k < inv.sections.size(); ++k) {
        InventorySection& s = inv.sections[k];
        const auto block = r.bytes(s.marks.size());
        for (std::size_t i = 0; i < block.size(); ++i) {
            if (block[i] > 1) {
                problem.kind = InventoryProblem::Kind::Mark;
                problem.section = static_cast<int>(k);
                problem.mark = block[i];
                problem.byte = r.offset() - block.size() + i;
                return std::nullopt;
            }
            s.marks[i] = block[i];
        }
    }
    for (std::size_t k = 0; k < inv.sections.size(); ++k) {
        InventorySection& s = inv.sections[k];
        s.range.first = r.i16();
        s.range.end = r.i16();
        if (s.range.first < 0 || s.range.first >= s.range.end || s.range.end > s.decades) {
            problem.kind = InventoryProblem::Kind::Range;
            problem.section = static_cast<int>(k);
            problem.first = s.range.first;
            problem.end = s.range.end;
            problem.decades = s.decades;
            return std::nullopt;
        }
    }
    if (!r.ok() || r.remaining() != 0) {
        problem.kind = InventoryProblem::Kind::Layout;
        return std::nullopt;
    }
    return inv;
}

std::optional<std::string> UserDataFolder() {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && x[0] == '/') return std::string(x) + "/velmora";
    if (const char* h = std::getenv("HOME"); h && h[0] == '/')
        return std::string(h) + "/.local/share/velmora";
    return std::nullopt;
}

std::optional<std::string> InventoryFilePath() {
    const auto folder = UserDataFolder();
    if (!folder) return std::nullopt;
    return *folder + "/" + kInventoryFileName;
}

InventoryReadResult ReadInventoryFile(const std::string& path, Inventory& inv) {
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found)
        return {InventoryReadStatus::Missing, {}, {}};
    std::vector<uint8_t> data;
    const FileIoResult r = ReadWholeFile(path, kLargestRead, data);
    if (!r.ok) {
        if (r.message == FileIoResult::failure(path, EFBIG).message) {
            InventoryProblem tooLarge;
            tooLarge.kind = InventoryProblem::Kind::TooLarge;
            tooLarge.expected = kLargestRead;
            return {InventoryReadStatus::Damaged, {}, tooLarge};
        }
        return {InventoryReadStatus::Unreadable, r.message, {}};
    }
    InventoryProblem problem;
    const auto decoded = DecodeInventory(data, problem);
    if (!decoded) return {InventoryReadStatus::Damaged, {}, problem};
    inv = *decoded;
    return {InventoryReadStatus::Read, {}, {}};
}

FileIoResult WriteInventoryFile(const std::string& path, const Inventory& inv) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) return FileIoResult::failure(folder.string(), ec.value());
    const std::vector<uint8_t> data = EncodeInventory(inv);
    return WriteFileReplacing(path, data);
}

} // namespace velmora
