// The comparison table of the five approximations shown after a calculation.
#include <string>

#include "approx/approximation.h"
#include "model/number_text.h"

namespace velmora {

namespace {
// Row titles and column headers, in display order.
const std::vector<std::string> kRowTitles = {"Order",        "Circuit stages", "Passband ripple",
                                             "Pole pairs",   "Single poles",   "Zero pairs",
                                             "Single zeros", "Max. pole Qp"};
enum Row {
    OrderRow,
    StagesRow,
    RippleRow,
    PolePairsRow,
    SinglePolesRow,
    ZeroPairsRow,
    SingleZerosRow,
    QpRow
};
const std::vector<std::array<std::string, 2>> kColumnHeaders = {
    {"Butter-", "worth"}, {"Cheby-", "shev"}, {"Inverse", "Cheby."}, {"Elliptic", ""}, {"Bessel", ""}};
constexpr const char* kNotAvailable = "---";

std::string QpText(long double qp) {
    if (qp >= 10.0L) return FixedText(qp, 0);
    if (qp >= 1.0L) return FixedText(qp, 1);
    return FixedText(qp, 2);
}

std::string RippleText(const TDesign& d, int index) {
    const ApproxResult& r = d.Approx[index].Result;
    // A second-order filter shows no ripple entry: with a first-order prototype behind a
    // bandpass or bandstop there is no passband ripple to speak of.
    if (r.Order == 2) return kNotAvailable;
    if (index == Chebyshev || index == Elliptic) return FixedText(d.Spec.Apb, 1) + " dB";
    return "0 dB";
}

std::vector<ComparisonCell> Column(const TDesign& d, int index) {
    const Approximation& a = d.Approx[index];
    const ApproxResult& r = a.Result;
    std::vector<ComparisonCell> cells(kRowTitles.size());
    cells[OrderRow].text = r.OrderTooHigh ? ">" + std::to_string(kMaxOrder) : std::to_string(r.Order);
    if (!isUsable(a)) {
        for (std::size_t row = StagesRow; row < cells.size(); ++row)
            cells[row].text = kNotAvailable;
        if (!r.OrderTooHigh) cells[QpRow] = {">" + std::to_string(static_cast<int>(kMaxUsableQp)), true};
        return cells;
    }
    cells[StagesRow].text = std::to_string(r.Order / 2 + r.Order % 2);
    cells[RippleRow].text = RippleText(d, index);
    cells[PolePairsRow].text = std::to_string(r.PolePairs);
    cells[SinglePolesRow].text = std::to_string(r.HasRealPole + r.HasRealPole2);
    cells[ZeroPairsRow].text = std::to_string(r.ZeroPairs);
    cells[SingleZerosRow].text = std::to_string(r.SingleZeros);
    cells[QpRow].text = (d.Spec.ForceOrder && r.Order == 1) ? kNotAvailable : QpText(r.MaxQp);
    return cells;
}
} // namespace

ComparisonTable BuildComparisonTable(const TDesign& d) {
    ComparisonTable t;
    t.rowTitles = kRowTitles;
    t.cornerTitle = "Approximation:";
    t.colHeaders = kColumnHeaders;
    t.cells.assign(kRowTitles.size(), {});
    for (int index = 0; index < kApproxCount; ++index) {
        const std::vector<ComparisonCell> column = Column(d, index);
        for (std::size_t row = 0; row < column.size(); ++row)
            t.cells[row].push_back(column[row]);
    }
    return t;
}

} // namespace velmora
