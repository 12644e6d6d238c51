// Writes the starting corpus of the fuzz targets: design files of several shapes (no
// stages, stages at every level, the adjusted-resistor block) and a settings file with
// every key, and requests of the command line. The fuzzer mutates these rather than discovering the layouts
// from nothing.
//   velmora_fuzz_seeds <folder>   creates <folder>/design_file/, <folder>/settings/ and,
//                                 when the inventory reader is built, <folder>/inventory/
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "model/design_file.h"
#include "model/settings.h"
#if __has_include("model/inventory_file.h")
#include "model/inventory_file.h"
#define VELMORA_HAS_INVENTORY 1
#endif

namespace fs = std::filesystem;
using namespace velmora;

namespace {

void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string DesignImage(int level, int type, int stages, bool adjusted) {
    auto d = std::make_unique<TDesign>();
    NewDesign(*d, static_cast<uint8_t>(type));
    d->DesignLevel = static_cast<uint8_t>(level);
    d->StageCount = static_cast<int16_t>(stages);
    d->Opt.ResistorAdjustmentDone = adjusted;
    d->Spec.wpb = 6283.185307L;
    d->Spec.wsb = 12566.37061L;
    d->Spec.PassFreqEntry = 2.0L; // an entry the reader recomputes
    for (int s = 1; s <= stages; ++s) {
        d->Stages[s].StageType = static_cast<uint8_t>(s % 8);
        d->Stages[s].Name = "SLP ";
        d->Stages[s].Wp = 1000.0L * s;
        d->Stages[s].Qp = 0.7L;
        if (level >= LevelPaired) d->Circuits[s].CircuitNumber = 1;
        d->Circuits[s].Components[11].Value = 1e-8L;
        d->Circuits[s].Components[1].Adjusted = 1e4L;
        d->Circuits[s].Components[1].AdjustedMark = 1;
    }
    std::vector<uint8_t> image;
    if (!EncodeDesign(*d, image).ok()) return {};
    return std::string(image.begin(), image.end());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora_fuzz_seeds <folder>\n");
        return 2;
    }
    const fs::path root = argv[1];
    fs::create_directories(root / "design_file");
    fs::create_directories(root / "settings");
    struct Shape {
        int level, type, stages;
        bool adjusted;
    };
    const Shape shapes[] = {{0, Lowpass, 0, false},  {2, Bandpass, 0, false}, {3, Highpass, 2, false},
                            {5, Bandstop, 4, false}, {7, Lowpass, 3, true},   {8, UserDefined, 11, true}};
    int n = 0;
    for (const Shape& s : shapes)
        Write(root / "design_file" / ("seed" + std::to_string(++n) + ".fl3"),
              DesignImage(s.level, s.type, s.stages, s.adjusted));

    Settings settings;
    settings.FreqUnitsHz = false;
    settings.UseCapInventory = true;
    settings.ResistorTolerance = 0.25L;
    settings.OpAmpTolerance = 5.0L;
    settings.RecentFiles = {"/home/user/a.fl3", " /home/user/b c.fl3", "\"/q.fl3\""};
    Write(root / "settings" / "seed1.ini", SettingsText(settings));
    Write(root / "settings" / "seed2.ini", SettingsText(Settings{}));

    // Requests of the command line: a command byte (0 design, 1 user), then the JSON.
    fs::create_directories(root / "request_file");
    const char* requests[] = {
        "\0{\"schema_version\": 1, \"type\": \"bandpass\", \"f0\": \"10k\", \"bpb\": 1000, \"bsb\": \"3k\", "
        "\"approx\": \"chebyshev\", \"standard_r\": 1, \"json\": true}",
        "\0{\"apb\": 0.5, \"asb\": 40, \"fpb\": \"1k\", \"fsb\": \"2k\", \"circuit\": \"SLP03,FLP02\", "
        "\"gbw\": \"10M\", \"predistort\": \"all\", \"tolerance\": \"1,5\", \"tempco\": \"50,-120\"}",
        "\0{\"type\": \"highpass\", \"order\": 5, \"gain_db\": 6, \"rad\": true, \"fpb\": 2000, \"fsb\": "
        "500, "
        "\"spice_dialect\": \"ngspice\", \"spice_monte_carlo\": \"20,1%,5%\", \"all_caps_standard\": true}",
        "\1{\"sections\": [\"lp2:q=0.707,fp=1k,to=2\", \"bs2:q=5,fp=1k,fz=1.2k\", \"lp1:p=1k\"], "
        "\"ascii_include\": \"spec,poles\"}",
    };
    n = 0;
    for (const char* r : requests)
        Write(root / "request_file" / ("seed" + std::to_string(++n) + ".req"),
              std::string(1, r[0]) + std::string(r + 1));

#ifdef VELMORA_HAS_INVENTORY
    fs::create_directories(root / "inventory");
    Inventory inv = FullInventory();
    const std::vector<uint8_t> full = EncodeInventory(inv);
    Write(root / "inventory" / "full.dat", std::string(full.begin(), full.end()));
    inv[InventoryKind::Capacitors].SetMark(2, 5, false);
    inv[InventoryKind::Resistors5].range = InventoryRange{1, 4};
    const std::vector<uint8_t> partial = EncodeInventory(inv);
    Write(root / "inventory" / "partial.dat", std::string(partial.begin(), partial.end()));
#endif
    return 0;
}
