#include "circuits/inventory_lookup.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// Decade exponent of the first inventory decade: 100 x 10^-2 = 1 ohm, 100 x 10^-13 = 10 pF.
int firstExponent(InventoryKind k) {
    return k == InventoryKind::Capacitors ? -13 : -2;
}

} // namespace

std::optional<InventoryKind> ResistorInventoryKind(long double tolerancePercent) {
    const auto s = SeriesForTolerance(tolerancePercent);
    if (!s) return std::nullopt;
    switch (*s) {
    case Series::E96:
        return InventoryKind::Resistors1;
    case Series::E24:
        return InventoryKind::Resistors5;
    case Series::E12:
        return InventoryKind::Resistors10;
    }
    return std::nullopt;
}

Series InventorySeries(InventoryKind k) {
    switch (k) {
    case InventoryKind::Resistors1:
        return Series::E96;
    case InventoryKind::Resistors5:
        return Series::E24;
    case InventoryKind::Resistors10:
    case InventoryKind::Capacitors:
        return Series::E12;
    }
    return Series::E12;
}

int InventoryDecade(InventoryKind k, SeriesPosition p) {
    return p.exponent - firstExponent(k);
}

bool InStock(const Inventory& inv, InventoryKind k, SeriesPosition p) {
    const InventorySection& s = inv[k];
    const int d = InventoryDecade(k, p);
    if (d < s.range.first || d >= s.range.end) return false;
    return s.InStock(d, p.index);
}

bool InStock(const Inventory& inv, InventoryKind k, long double value) {
    const auto p = FindInSeries(value, InventorySeries(k));
    return p && InStock(inv, k, *p);
}

std::optional<StockedSpan> StockedValues(const Inventory& inv, InventoryKind k) {
    const InventorySection& s = inv[k];
    const Series series = InventorySeries(k);
    std::optional<StockedSpan> span;
    for (int d = std::max(0, static_cast<int>(s.range.first));
         d < std::min(s.decades, static_cast<int>(s.range.end)); ++d)
        for (int i = 0; i < s.positions; ++i) {
            if (!s.InStock(d, i)) continue;
            const long double v = SeriesValue(series, {d + firstExponent(k), i});
            if (!span) span = StockedSpan{v, v};
            span->lowest = std::min(span->lowest, v);
            span->highest = std::max(span->highest, v);
        }
    return span;
}

std::optional<long double> InventoryValue(const Inventory& inv, InventoryKind k, long double value) {
    const Series series = InventorySeries(k);
    const auto nb = FindNeighbours(value, series);
    if (!nb) return std::nullopt;
    const bool lowerInStock = InStock(inv, k, nb->lower), upperInStock = InStock(inv, k, nb->upper);
    const long double lower = SeriesValue(series, nb->lower), upper = SeriesValue(series, nb->upper);
    if (lowerInStock && upperInStock) return upper - value < value - lower ? upper : lower;
    if (lowerInStock) return lower;
    if (upperInStock) return upper;

    // Neither neighbour is in stock: the nearest in-stock value of the range, for a value
    // among those in stock. Scanning upwards and replacing only on a strictly smaller
    // distance keeps the lower value of a tie.
    const auto span = StockedValues(inv, k);
    if (!span || value < span->lowest || value > span->highest) return std::nullopt;
    const InventorySection& s = inv[k];
    std::optional<long double> best;
    long double bestDistance = 0;
    for (int d = std::max(0, static_cast<int>(s.range.first));
         d < std::min(s.decades, static_cast<int>(s.range.end)); ++d)
        for (int i = 0; i < s.positions; ++i) {
            if (!s.InStock(d, i)) continue;
            const long double v = SeriesValue(series, {d + firstExponent(k), i});
            const long double distance = std::fabs(v - value);
            if (!best || distance < bestDistance) {
                best = v;
                bestDistance = distance;
            }
        }
    return best;
}

} // namespace velmora
