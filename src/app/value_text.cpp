#include "app/value_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace velmora::app {

std::optional<long double> ParseNonNegative(const std::string& text) {
    if (text.empty() || text.find_first_of(" \t") != std::string::npos) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long double v = std::strtold(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v) || v < 0 ||
        std::signbit(v))
        return std::nullopt;
    // strtold also reads hexadecimal, "inf" and "nan"; only decimal digits are numbers here.
    if (text.find_first_not_of("0123456789.eE+-") != std::string::npos) return std::nullopt;
    return v;
}

std::optional<long double> ParseScaled(const std::string& text) {
    if (text.empty()) return std::nullopt;
    long double scale = 1;
    std::string body = text;
    if (body.back() == 'k' || body.back() == 'K') {
        scale = 1e3L;
        body.pop_back();
    } else if (body.back() == 'M') {
        scale = 1e6L;
        body.pop_back();
    }
    auto v = ParseNonNegative(body);
    if (!v) return std::nullopt;
    return *v * scale;
}

std::optional<long double> ParseCapacitance(const std::string& text) {
    std::string body = text;
    if (!body.empty() && (body.back() == 'F' || body.back() == 'f')) body.pop_back();
    long double scale = 1;
    if (!body.empty()) {
        switch (body.back()) {
        case 'p':
            scale = 1e-12L;
            break;
        case 'n':
            scale = 1e-9L;
            break;
        case 'u':
            scale = 1e-6L;
            break;
        default:
            break;
        }
        if (scale != 1) body.pop_back();
    }
    auto v = ParseNonNegative(body);
    if (!v) return std::nullopt;
    return *v * scale;
}

} // namespace velmora::app
