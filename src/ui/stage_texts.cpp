#include "ui/stage_texts.h"

#include <cmath>
#include <numbers>

#include "model/number_text.h"

namespace velmora {

long double FrequencyIn(long double w, bool hz) {
    return hz ? w / (2.0L * std::numbers::pi_v<long double>) : w;
}

std::string ListNumber(long double x) {
    const long double m = std::fabs(x);
    if (m == 0.0L) return "0";
    if (m >= 1.0e-3L && m < 1.0e6L) return TrimmedText(x, 4);
    std::string s = ScientificText(x, 4);
    if (!s.empty() && s[0] == ' ') s.erase(0, 1);
    return s;
}

std::string CoefficientText(long double x) {
    return ScientificText(x, 7);
}

} // namespace velmora
