#include "arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace velmora::cli {

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

} // namespace velmora::cli
