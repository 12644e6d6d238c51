#include "model/settings.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>

#include "model/number_text.h"

namespace velmora {
namespace {

constexpr const char* kGeneral = "General";
constexpr const char* kInventory = "Component inventory";
constexpr const char* kOptions = "Settings";
constexpr const char* kCharacteristics = "Component Characteristics";
constexpr const char* kRecent = "Recent file list";

// Settings files are a few hundred bytes; anything far larger is not one.
constexpr std::size_t kLargestSettingsFile = 1 << 20;

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

// The keys of a profile text, found by section and key. The first occurrence of a key
// in the first section of that name counts, as the profile functions read it.
class Profile {
  public:
    explicit Profile(std::string_view text) {
        std::string_view section;
        bool inSection = false;
        while (!text.empty()) {
            const auto eol = text.find('\n');
            std::string_view line = Trim(text.substr(0, eol));
            text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                const auto close = line.find(']');
                section =
                    line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
                inSection = true;
                continue;
            }
            const auto eq = line.find('=');
            if (!inSection || eq == std::string_view::npos) continue;
            entries_.push_back({section, Trim(line.substr(0, eq)), Unquote(Trim(line.substr(eq + 1)))});
        }
    }

    std::optional<std::string_view> Get(std::string_view section, std::string_view key) const {
        for (const Entry& e : entries_)
            if (SameName(e.section, section) && SameName(e.key, key)) return e.value;
        return std::nullopt;
    }

  private:
    struct Entry {
        std::string_view section, key, value;
    };
    std::vector<Entry> entries_;

    static std::string_view Unquote(std::string_view v) {
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
        return v;
    }
};

// The ordinary decimal syntax: leading blanks, an optional sign, digits with at most one
// decimal point (at least one digit), and an optional exponent. Anything else, and a
// value beyond the range of long double, reads as 0.
long double ParseNumber(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const std::size_t start = i;
    int digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0) return 0.0L;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const std::size_t expDigits = j;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9')
            ++j;
        if (j == expDigits) return 0.0L;
        i = j;
    }
    if (i != s.size()) return 0.0L;
    // from_chars reads the C locale's syntax whatever locale the program runs in; it
    // does not take a leading '+', which was consumed above.
    long double v = 0.0L;
    const auto [end, ec] =
        std::from_chars(s.data() + start, s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc{} || end != s.data() + s.size() || !std::isfinite(v)) return 0.0L;
    return negative ? -v : v;
}

// A whole number of a field of the given range, by truncation; 0 when it is outside.
template <typename Int> Int ParseWhole(std::string_view s) {
    const long double v = std::trunc(ParseNumber(s));
    if (v < static_cast<long double>(std::numeric_limits<Int>::min()) ||
        v > static_cast<long double>(std::numeric_limits<Int>::max()))
        return 0;
    return static_cast<Int>(v);
}

bool Within(long double v, long double low, long double high) {
    return v >= low && v <= high;
}

bool ReadsBack(const std::string& text, const Real48& stored) {
    return Real48(ParseNumber(text)).value() == stored.value();
}

// The shortest decimal text that reads back as the stored value, in plain fixed-point
// form when one reads back at all (so 0.25 is "0.25" and 100 is "100", not "1e+02").
std::string DecimalText(const Real48& x) {
    std::string exponentForm;
    for (int precision = 1; precision <= 21; ++precision) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*Lg", precision, x.value());
        const std::string text = buf;
        if (!ReadsBack(text, x)) continue;
        if (text.find('e') == std::string::npos) return text;
        if (exponentForm.empty()) exponentForm = text;
    }
    return exponentForm;
}

// The noise in scientific form with one decimal, or more when one does not read back.
// A magnitude too small for the scientific form (below 1e-37) keeps its exact value in
// the general form.
std::string NoiseText(const Real48& x) {
    for (int decimals = 1; decimals <= 15; ++decimals) {
        const std::string text = ScientificText(x.value(), decimals);
        if (ReadsBack(text, x)) return text;
    }
    return DecimalText(x);
}

// The op-amp tolerance as a whole number right-aligned in two characters.
std::string WholeText(const Real48& x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%2.0Lf", std::trunc(x.value()));
    return buf;
}

} // namespace

void AddRecentFile(std::vector<std::string>& list, const std::string& name) {
    std::vector<std::string> out{name};
    for (const std::string& f : list)
        if (f != name && (int)out.size() < kMaxRecentFiles) out.push_back(f);
    list = std::move(out);
}

Settings ParseSettings(std::string_view text) {
    const Profile p(text);
    Settings s;
    auto get = [&](const char* section, const char* key) { return p.Get(section, key); };

    if (auto v = get(kGeneral, "Mainposn")) {
        const auto comma = v->find(',');
        s.MainLeft = ParseWhole<int32_t>(v->substr(0, comma));
        s.MainTop = comma == std::string_view::npos ? 0 : ParseWhole<int32_t>(v->substr(comma + 1));
    }
    const std::pair<const char*, int16_t*> zooms[] = {
        {"ZoomX", &s.ZoomX}, {"ZoomY", &s.ZoomY}, {"VZoomX", &s.VZoomX}, {"VZoomY", &s.VZoomY}};
    for (const auto& [key, field] : zooms)
        if (auto v = get(kGeneral, key)) *field = ParseWhole<int16_t>(*v);

    if (auto v = get(kInventory, "Usecap")) s.UseCapInventory = *v == "TRUE";
    if (auto v = get(kInventory, "Useres")) s.UseResInventory = *v == "TRUE";
    if (auto v = get(kOptions, "Frequency units")) s.FreqUnitsHz = *v == "hertz";

    // Resistor and capacitor tolerances outside the choices' span are not a tolerance
    // any part is sold with; they fall back to the precision parts' 1 %.
    const std::pair<const char*, Real48*> tolerances[] = {{"RTolerance", &s.ResistorTolerance},
                                                          {"CTolerance", &s.CapacitorTolerance}};
    for (const auto& [key, field] : tolerances) {
        if (auto v = get(kCharacteristics, key)) {
            const long double t = ParseNumber(*v);
            *field = Within(t, 0.1L, 20.0L) ? t : 1.0L;
        }
    }
    if (auto v = get(kCharacteristics, "AllCapsStnd")) s.AllCapsStandard = *v != "FALSE";
    // 5 % is the tightest op-amp bandwidth tolerance the characteristics offer, so the
    // range starts there; a wider spread than 50 % is no specification at all.
    if (auto v = get(kCharacteristics, "OpTolerance")) {
        const long double t = ParseNumber(*v);
        s.OpAmpTolerance = Within(t, 5.0L, 50.0L) ? t : 30.0L;
    }
    if (auto v = get(kCharacteristics, "Noise")) s.OpAmpNoise = ParseNumber(*v);

    for (int k = 1; k <= kMaxRecentFiles; ++k) {
        auto v = get(kRecent, ("File" + std::to_string(k)).c_str());
        if (v && !v->empty()) s.RecentFiles.emplace_back(*v);
    }
    // The list rule (no duplicates, most recent first) holds for a hand-edited file too.
    std::vector<std::string> recent;
    for (auto it = s.RecentFiles.rbegin(); it != s.RecentFiles.rend(); ++it)
        AddRecentFile(recent, *it);
    s.RecentFiles = std::move(recent);

    // The resistor inventory holds the 1 %, 5 % and 10 % series only.
    const long double rt = s.ResistorTolerance;
    if (rt != 1.0L && rt != 5.0L && rt != 10.0L) s.UseResInventory = false;
    return s;
}

std::string SettingsText(const Settings& s) {
    std::string out;
    auto section = [&](const char* name) {
        if (!out.empty()) out += "\n";
        out += std::string("[") + name + "]\n";
    };
    auto key = [&](const char* name, const std::string& value) {
        out += std::string(name) + "=" + value + "\n";
    };
    auto flag = [](bool b) { return std::string(b ? "TRUE" : "FALSE"); };

    section(kGeneral);
    key("Mainposn", std::to_string(s.MainLeft) + "," + std::to_string(s.MainTop));
    key("ZoomX", std::to_string(s.ZoomX));
    key("ZoomY", std::to_string(s.ZoomY));
    key("VZoomX", std::to_string(s.VZoomX));
    key("VZoomY", std::to_string(s.VZoomY));
    section(kInventory);
    key("Usecap", flag(s.UseCapInventory));
    key("Useres", flag(s.UseResInventory));
    section(kOptions);
    key("Frequency units", s.FreqUnitsHz ? "hertz" : "rad/s");
    section(kCharacteristics);
    key("RTolerance", DecimalText(s.ResistorTolerance));
    key("CTolerance", DecimalText(s.CapacitorTolerance));
    key("AllCapsStnd", flag(s.AllCapsStandard));
    key("OpTolerance", WholeText(s.OpAmpTolerance));
    key("Noise", NoiseText(s.OpAmpNoise));
    section(kRecent);
    int n = 0;
    for (const std::string& f : s.RecentFiles) {
        if (f.empty() || f.find('\n') != std::string::npos || n == kMaxRecentFiles) continue;
        // Blanks around a name and enclosing quotes would be taken off on reading; the
        // quotes written around such a name are the ones taken off.
        const bool quote =
            Trim(f).size() != f.size() || (f.size() >= 2 && f.front() == '"' && f.back() == '"');
        key(("File" + std::to_string(++n)).c_str(), quote ? "\"" + f + "\"" : f);
    }
    return out;
}

std::optional<std::string> SettingsFolder() {
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') return std::string(x) + "/velmora";
    if (const char* h = std::getenv("HOME"); h && h[0] == '/') return std::string(h) + "/.config/velmora";
    return std::nullopt;
}

FileIoResult ReadSettingsFile(const std::string& path, Settings& s) {
    s = Settings{};
    std::vector<uint8_t> data;
    FileIoResult r = ReadWholeFile(path, kLargestSettingsFile, data);
    if (!r.ok) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec) && !ec) return {};
        return r;
    }
    s = ParseSettings(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    return {};
}

FileIoResult WriteSettingsFile(const std::string& path, const Settings& s) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) return FileIoResult::failure(folder.string(), ec.value());
    const std::string text = SettingsText(s);
    return WriteFileReplacing(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

} // namespace velmora
