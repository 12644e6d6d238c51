#include "circuits/component_text.h"

#include <cmath>

#include "model/number_text.h"

namespace velmora {

std::string ShortValueDigits(long double x) {
    std::string s = FixedText(x, 4);
    s.erase(0, s.find_first_not_of(' '));
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s.size() <= 4) return s;
    const std::size_t keep = s[3] == '.' ? 3 : 4;
    std::size_t next = keep;
    if (next < s.size() && s[next] == '.') ++next;
    const bool up = next < s.size() && s[next] >= '5' && s[next] <= '9';
    s.resize(keep);
    if (!up) return s;
    for (std::size_t i = s.size(); i-- > 0;) {
        if (s[i] == '.') continue;
        if (s[i] == '-') break;
        if (s[i] < '9') {
            ++s[i];
            return s;
        }
        s[i] = '0';
    }
    const std::size_t first = s[0] == '-' ? 1 : 0;
    s.insert(first, "1");
    return s;
}

std::string ResistanceText(long double ohms) {
    if (!(ohms > 0.0L) || !std::isfinite(ohms)) return "  N/A";
    if (ohms >= 1.0e9L) return ShortValueDigits(ohms / 1.0e9L) + "G";
    if (ohms >= 1.0e6L) return ShortValueDigits(ohms / 1.0e6L) + "M";
    if (ohms >= 1.0e3L) return ShortValueDigits(ohms / 1.0e3L) + "K";
    return ShortValueDigits(ohms);
}

std::string CapacitanceText(long double farads) {
    if (!std::isfinite(farads)) return "  N/A";
    if (farads < 9.9999e-10L) return ShortValueDigits(farads * 1.0e12L) + "pF";
    if (farads < 9.9999e-7L) return ShortValueDigits(farads * 1.0e9L) + "nF";
    if (farads < 0.00099999L) return ShortValueDigits(farads * 1.0e6L) + "uF";
    return ShortValueDigits(farads);
}

} // namespace velmora
