// Inventory lookups of substitution: stock tests by series position and range, the
// in-stock neighbour, the outward search within the stock, no stand-in beyond it, and an
// empty inventory; checked against
// explicit value lists and a brute-force search over pseudo-random inventories.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/messages.h"
#include "circuits/inventory_lookup.h"

namespace velmora {
namespace {

Inventory EmptyInventory() {
    Inventory inv = FullInventory();
    for (InventorySection& s : inv.sections)
        std::fill(s.marks.begin(), s.marks.end(), 0);
    return inv;
}

void Stock(Inventory& inv, InventoryKind k, std::initializer_list<long double> values) {
    for (long double v : values) {
        const auto p = FindInSeries(v, InventorySeries(k));
        ASSERT_TRUE(p) << double(v);
        inv[k].SetMark(InventoryDecade(k, *p), p->index, true);
    }
}

bool Near(std::optional<long double> got, long double expected) {
    return got && std::fabs(*got / expected - 1.0L) < 1e-12L;
}

TEST(InventoryLookup, SectionsAndDecadesOfTheFile) {
    EXPECT_EQ(std::tuple(ResistorInventoryKind(1), ResistorInventoryKind(5), ResistorInventoryKind(10)),
              std::tuple(InventoryKind::Resistors1, InventoryKind::Resistors5, InventoryKind::Resistors10));
    EXPECT_FALSE(ResistorInventoryKind(2));
    const Inventory full = FullInventory();
    // A new installation: 1 ohm to 9.76 Mohm and 10 pF to 8.2 uF, nothing outside.
    const std::tuple<InventoryKind, long double, bool> cases[] = {
        {InventoryKind::Resistors1, 1.0L, true},      {InventoryKind::Resistors1, 9.76e6L, true},
        {InventoryKind::Resistors1, 10.0e6L, false},  {InventoryKind::Resistors1, 0.976L, false},
        {InventoryKind::Resistors1, 1.01L, false},    {InventoryKind::Resistors5, 9.1e6L, true},
        {InventoryKind::Resistors10, 4.7L, true},     {InventoryKind::Resistors10, 0.0L, false},
        {InventoryKind::Capacitors, 10e-12L, true},   {InventoryKind::Capacitors, 8.2e-6L, true},
        {InventoryKind::Capacitors, 10e-6L, false},   {InventoryKind::Capacitors, 8.2e-12L, false},
        {InventoryKind::Capacitors, -4.7e-9L, false},
    };
    for (const auto& [k, value, inStock] : cases)
        EXPECT_EQ(InStock(full, k, value), inStock) << double(value);
    // 4.7 nF lies in capacitor decade 2, 4.99 kohm in 1 % decade 3, both at the
    // positions the file layout gives.
    EXPECT_EQ(InventoryDecade(InventoryKind::Capacitors, *FindInSeries(4.7e-9L, Series::E12)), 2);
    EXPECT_EQ(InventoryDecade(InventoryKind::Resistors1, *FindInSeries(4.99e3L, Series::E96)), 3);
}

TEST(InventoryLookup, RangeLimitsStockAndSearch) {
    Inventory inv = FullInventory();
    inv[InventoryKind::Resistors10].range = {2, 4}; // 100 ohm .. 8.2 kohm
    EXPECT_FALSE(InStock(inv, InventoryKind::Resistors10, 47.0L));
    EXPECT_TRUE(InStock(inv, InventoryKind::Resistors10, 470.0L));
    EXPECT_FALSE(InStock(inv, InventoryKind::Resistors10, 10.0e3L));
    // Just beyond the stock, a neighbour in stock stands in as anywhere else; farther out,
    // with neither neighbour in stock, nothing does, and the reason names the stock.
    EXPECT_TRUE(Near(InventoryValue(inv, InventoryKind::Resistors10, 9.0e3L), 8.2e3L));
    EXPECT_TRUE(Near(InventoryValue(inv, InventoryKind::Resistors10, 95.0L), 100.0L));
    EXPECT_FALSE(InventoryValue(inv, InventoryKind::Resistors10, 11.0e3L));
    EXPECT_FALSE(InventoryValue(inv, InventoryKind::Resistors10, 50.0e3L));
    EXPECT_FALSE(InventoryValue(inv, InventoryKind::Resistors10, 12.0L));
    EXPECT_EQ(app::NoStandInReason(StockedValues(inv, InventoryKind::Resistors10), false),
              "outside the resistors in stock, 100 to 8.2K");
    inv[InventoryKind::Resistors10].range = {3, 3};
    EXPECT_EQ(app::NoStandInReason(StockedValues(inv, InventoryKind::Resistors10), false),
              "no resistor of the inventory range is in stock");
}

// Pins of the rules the random inventories below seldom hit exactly: an exact tie, the
// outward search, a standard value not in stock, the edges of the stock.
TEST(InventoryLookup, WorkedChoices) {
    Inventory inv = EmptyInventory();
    Stock(inv, InventoryKind::Resistors10, {6.8e3L, 12.0e3L, 15.0e3L, 47.0e3L});
    const std::tuple<long double, long double> cases[] = {
        {13.5e3L, 12.0e3L}, // 1.5K from either neighbour: the lower
        {8.5e3L, 6.8e3L},   // 8.2K and 10K missing; outward, 6.8K is nearer than 12K
        {22.0e3L, 15.0e3L}, // a standard value not in stock is searched for like any other
        {6.0e3L, 6.8e3L},   // just below the stock: its neighbour stands in
        {5.0e3L, 0},        // farther out: nothing
    };
    for (const auto& [exact, chosen] : cases) {
        const auto got = InventoryValue(inv, InventoryKind::Resistors10, exact);
        EXPECT_TRUE(chosen > 0 ? Near(got, chosen) : !got) << double(exact);
    }
}

TEST(InventoryLookup, AgreesWithABruteForceSearchOverRandomInventories) {
    uint32_t seed = 12345;
    const auto next = [&seed]() { return seed = seed * 1664525u + 1013904223u; };
    for (int trial = 0; trial < 40; ++trial) {
        const InventoryKind k = static_cast<InventoryKind>(trial % 4);
        const Series series = InventorySeries(k);
        Inventory inv = EmptyInventory();
        InventorySection& s = inv[k];
        // Sparse stock (about 1 value in 16) over a random range.
        const int first = static_cast<int>(next() >> 8) % s.decades;
        s.range = {static_cast<int16_t>(first),
                   static_cast<int16_t>(first + 1 + static_cast<int>(next() >> 8) % (s.decades - first))};
        std::vector<long double> stock; // the in-stock values, listed independently
        const long double unit = k == InventoryKind::Capacitors ? 10e-12L : 1.0L;
        for (int d = 0; d < s.decades; ++d)
            for (int p = 0; p < s.positions; ++p)
                if ((next() >> 8) % 16 == 0) {
                    s.SetMark(d, p, true);
                    if (d >= s.range.first && d < s.range.end)
                        stock.push_back(SeriesMantissas(series)[static_cast<std::size_t>(p)] / 100.0L * unit *
                                        std::pow(10.0L, static_cast<long double>(d)));
                }
        for (int i = 0; i < 50; ++i) {
            const long double exact =
                unit * std::pow(10.0L, static_cast<long double>((next() >> 8) % 80000) / 10000.0L - 0.5L);
            const auto got = InventoryValue(inv, k, exact);
            if (stock.empty()) {
                EXPECT_FALSE(got);
                continue;
            }
            const auto nb = *FindNeighbours(exact, series);
            const long double lower = SeriesValue(series, nb.lower), upper = SeriesValue(series, nb.upper);
            const auto listed = [&](long double v) {
                for (long double x : stock)
                    if (std::fabs(x / v - 1.0L) < 1e-9L) return true;
                return false;
            };
            long double expected;
            if (listed(lower) && listed(upper))
                expected = upper - exact < exact - lower ? upper : lower;
            else if (listed(lower))
                expected = lower;
            else if (listed(upper))
                expected = upper;
            else if (exact < *std::min_element(stock.begin(), stock.end()) ||
                     exact > *std::max_element(stock.begin(), stock.end())) {
                EXPECT_FALSE(got) << double(exact); // beyond the stock: no stand-in
                continue;
            } else {
                expected = stock.front();
                for (long double x : stock)
                    if (std::fabs(x - exact) < std::fabs(expected - exact)) expected = x;
            }
            ASSERT_TRUE(got);
            EXPECT_TRUE(Near(got, expected))
                << double(exact) << " got " << double(*got) << " expected " << double(expected);
        }
    }
}

} // namespace
} // namespace velmora
