// All capacitors standard over every offered circuit: each capacitor takes a series
// neighbour of its calculated value, the nearest whenever the circuit can be built with
// it, and the stage keeps its pole frequency and Q; with an inventory only values in
// stock are taken.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "circuits/circuit_stage_support.h"
#include "circuits/component_adjustment.h"
#include "circuits/inventory_lookup.h"
#include "circuits/standard_values.h"

namespace velmora {
namespace {

using test::ForEachCalculatedStage;

// Series values formed two ways (mantissa times a power of ten, or the design's own
// product) differ in the last bits.
bool Same(long double a, long double b) {
    return std::fabs(a - b) <= 1e-12L * std::fabs(b);
}

TEST(AllCapacitorsStandard, NeighboursNearestFirstAndThePolesKeptForEveryCircuit) {
    int changed = 0, fallbacks = 0, refused = 0;
    ForEachCalculatedStage([&](TDesign& d, const std::string& label) {
        SCOPED_TRACE(label);
        const auto before = std::make_unique<TDesign>(d);
        const auto notes = MakeCapacitorsStandard(d, nullptr);
        const TStageCircuit &c = d.Circuits[1], &b = before->Circuits[1];
        if (!notes.empty()) {
            // Refused: the stage keeps every value.
            ++refused;
            test::ExpectSameValues(c, b);
            return;
        }
        std::array<long double, kCapacitorSlots + 1> nearest{};
        bool differs = false, moved = false;
        for (int n = 1; n <= c.CapacitorCount; ++n) {
            const long double exact = C(b, n), now = C(c, n);
            const auto nb = FindNeighbours(exact, Series::E12);
            ASSERT_TRUE(nb.has_value());
            EXPECT_TRUE(Same(now, SeriesValue(Series::E12, nb->lower)) ||
                        Same(now, SeriesValue(Series::E12, nb->upper)))
                << "C" << n;
            nearest[static_cast<std::size_t>(n)] =
                SeriesValue(Series::E12, *NearestInSeries(exact, Series::E12));
            differs = differs || !Same(now, nearest[static_cast<std::size_t>(n)]);
            moved = moved || !Same(now, exact);
        }
        if (!moved) return;
        ++changed;
        // Newton meets the kept parameters to about 1e-15; Real48 storage rounds at 1e-12.
        const auto p = test::RealisedOf(d), q = test::RealisedOf(*before);
        ASSERT_TRUE(p && q);
        EXPECT_NEAR(double(p->wp / q->wp), 1.0, 1e-9);
        EXPECT_NEAR(double(p->qp), double(q->qp), 1e-9 * double(q->qp));
        if (differs) {
            // Another neighbour only where the nearest values cannot be built.
            ++fallbacks;
            const auto probe = std::make_unique<TDesign>(*before);
            EXPECT_FALSE(SetCapacitors(*probe, 1, nearest).ok());
        }
    });
    EXPECT_GT(changed, 50);
    EXPECT_GT(fallbacks, 0);
}

TEST(AllCapacitorsStandard, OnlyValuesInStock) {
    // 10 nF and 12 nF out of stock: a 10 nF capacitor moves to a neighbour in stock.
    const TDesign base = test::CalculatedStage("SLP13", test::kTwoPi * 1000.0L, 1.3L, 2.0L);
    ASSERT_TRUE(Same(C(base.Circuits[1], 1), 10e-9L));
    Inventory inv = FullInventory();
    for (const long double farads : {10e-9L, 12e-9L}) {
        const auto p = FindStandardCapacitor(farads);
        ASSERT_TRUE(p.has_value());
        inv[InventoryKind::Capacitors].SetMark(InventoryDecade(InventoryKind::Capacitors, *p), p->index,
                                               false);
        ASSERT_FALSE(InStock(inv, InventoryKind::Capacitors, farads));
    }
    auto d = std::make_unique<TDesign>(base);
    EXPECT_TRUE(MakeCapacitorsStandard(*d, &inv).empty());
    for (int n = 1; n <= d->Circuits[1].CapacitorCount; ++n)
        EXPECT_TRUE(InStock(inv, InventoryKind::Capacitors, C(d->Circuits[1], n))) << "C" << n;
    EXPECT_TRUE(Same(C(d->Circuits[1], 1), 8.2e-9L)); // the nearer in-stock neighbour of 10 nF
}

} // namespace
} // namespace velmora
