// The inventory at start (a missing file created, a damaged one replaced only with
// consent) and the inventory editor (grid, ranges, marks, quick select, count line, OK),
// checked through the bytes of the file it writes.
#include <filesystem>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "support/recording_dialogs.h"
#include "support/temp_files.h"
#include "ui/tfm_invent.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::RecordingDialogs;

std::vector<uint8_t> FullImage() {
    std::vector<uint8_t> b(1012, 0);
    std::fill(b.begin(), b.begin() + 996, 1);
    b[998] = 7;
    b[1002] = 7;
    b[1006] = 7;
    b[1010] = 6;
    return b;
}

// A missing file is created with everything in stock, silently; a damaged one (a
// capacitor range beyond the six decades) is replaced only with consent.
TEST(InventoryAtStart, MissingFileIsCreatedAndADamagedOneReplacedOnlyWithConsent) {
    std::vector<uint8_t> damaged = FullImage();
    damaged[1010] = 9;
    for (const auto answer :
         {std::optional<Answer>{}, std::optional{Answer::Cancel}, std::optional{Answer::Ok}}) {
        const fs::path file = test::MakeTempDir("velmora_tfminvent_") / "velmora" / "RCInvent.dat";
        if (answer) {
            fs::create_directories(file.parent_path());
            test::WriteBytes(file, damaged);
        }
        RecordingDialogs dlg;
        if (answer) dlg.answers.push_back(*answer);
        EXPECT_EQ(LoadInventoryAtStart(file.string(), dlg), FullInventory());
        EXPECT_EQ(test::ReadBytes(file), answer == Answer::Cancel ? damaged : FullImage());
        if (!answer) {
            EXPECT_TRUE(dlg.log.empty());
            continue;
        }
        EXPECT_EQ(dlg.log,
                  (std::vector<std::string>{
                      "beep", "ask warning: The component inventory " + file.string() +
                                  " cannot be used (it is damaged: the capacitor range (0, 9) is outside "
                                  "0 to 6). Replace it with an inventory that has every value in stock?"}));
    }
}

TEST(TfmInvent, ResistorGridMarksRangesAndOkWritesTheWholeBlock) {
    const fs::path file = test::MakeTempDir("velmora_tfminvent_") / "RCInvent.dat";
    RecordingDialogs dlg;
    Inventory inv = LoadInventoryAtStart(file.string(), dlg);
    TfmInvent form(inv, file.string(), dlg);

    form.Show(InventoryKind::Resistors10);
    ASSERT_EQ(form.Columns.size(), 7u);
    ASSERT_EQ(form.Columns[0].size(), 12u);
    EXPECT_EQ(form.Columns[0][0].Text, "1\u03A9*");
    EXPECT_EQ(form.Columns[3][8].Text, "4.7K\u03A9*");
    EXPECT_EQ(form.Columns[6][11].Text, "8.2M\u03A9*");
    EXPECT_EQ(form.CountLine, "84 of 84 selected.");

    // 4.7K out of stock; the range narrowed to 100 ohm .. 100K (decades 2..4).
    form.CellClick(3, 8);
    EXPECT_EQ(form.Columns[3][8].Text, "4.7K\u03A9");
    EXPECT_EQ(form.CountLine, "83 of 84 selected.");
    form.MinChange(2);
    form.MaxChange(5);
    ASSERT_EQ(form.Columns.size(), 3u);
    EXPECT_EQ(form.Columns[0][0].Text, "100\u03A9*");
    EXPECT_EQ(form.CountLine, "35 of 36 selected.");
    // Unmark all shown, then mark the second column (1K .. 8.2K) again.
    form.QuickSelect(3);
    EXPECT_EQ(form.CountLine, "0 of 36 selected.");
    form.QuickSelect(1);
    EXPECT_EQ(form.CountLine, "12 of 36 selected.");
    EXPECT_TRUE(inv == FullInventory()) << "nothing changes before OK";

    ASSERT_TRUE(form.BitBtn1Click());
    EXPECT_FALSE(form.Visible);
    auto expected = FullImage();
    for (int d : {2, 4})
        for (int p = 0; p < 12; ++p)
            expected[static_cast<std::size_t>(840 + d * 12 + p)] = 0;
    expected[1004] = 2;
    expected[1006] = 5;
    EXPECT_EQ(test::ReadBytes(file), expected);
    EXPECT_TRUE(dlg.log.empty());
}

} // namespace
} // namespace velmora
