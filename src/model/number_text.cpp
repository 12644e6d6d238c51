#include "model/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velmora {

std::string ScientificText(long double x, int decimals) {
    std::string sign = x < 0 ? "-" : " ";
    long double m = std::fabs(x);
    int e = 0;
    if (!std::isfinite(m)) return sign + "INF";
    if (m < 1e-37L) {
        m = 0;
    } else {
        // Normalise by powers of ten; frexp/log10 would misplace values at the edges.
        while (m >= 10.0L) {
            m /= 10.0L;
            ++e;
        }
        while (m < 1.0L) {
            m *= 10.0L;
            --e;
        }
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Lf", decimals, m);
    if (std::strtold(buf, nullptr) >= 10.0L) { // rounding carried out of the first digit
        m /= 10.0L;
        ++e;
        std::snprintf(buf, sizeof buf, "%.*Lf", decimals, m);
    }
    std::string out = sign + buf + "E" + (e < 0 ? "-" : "+") + std::to_string(std::abs(e));
    return out;
}

std::string FixedText(long double x, int decimals, int width) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%*.*Lf", width, decimals, x);
    return buf;
}

std::string TrimmedText(long double x, int decimals) {
    std::string s = FixedText(x, decimals);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

std::string FrequencyWithUnit(long double value, bool hz) {
    const char* prefix = "";
    long double v = value;
    long double a = std::fabs(value);
    if (a >= 1e9L) {
        prefix = " G";
        v = value / 1e9L;
    } else if (a >= 1e6L) {
        prefix = " M";
        v = value / 1e6L;
    } else if (a >= 1e3L) {
        prefix = " K";
        v = value / 1e3L;
    } else {
        prefix = " ";
    }
    return TrimmedText(v, 3) + prefix + (hz ? "Hz" : "rad/s");
}

bool ParseDecimal(const std::string& text, long double& value) {
    int digits = 0, points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.') {
            ++points;
        } else {
            return false;
        }
    }
    if (digits == 0 || points > 1) return false;
    value = std::strtold(text.c_str(), nullptr);
    return std::isfinite(value);
}

} // namespace velmora
