#include "model/ascii_export.h"

#include <cmath>
#include <ctime>
#include <numbers>

#include "model/number_text.h"

namespace velmora {
namespace {

constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
constexpr const char* kEol = "\r\n";
constexpr const char* kPlusMinus = "\xB1"; // Windows-1252

// The approximation whose data the file holds: the selected one, or the sections of a
// user-defined filter, which live in approximation 0.
int ExportedApprox(const TDesign& d) {
    return d.Spec.FilterType == UserDefined ? 0 : d.SelectedApprox;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string PadRight(std::string s, std::size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

class Lines {
  public:
    void add(const std::string& line = "") { text_ += line + kEol; }
    std::string& text() { return text_; }

  private:
    std::string text_;
};

void SpecificationBlock(Lines& out, const TDesign& d, bool hz) {
    const Specification& s = d.Spec;
    const bool band = s.FilterType == Bandpass || s.FilterType == Bandstop;
    auto freq = [&](long double w) { return FrequencyWithUnit(hz ? w / kTwoPi : w, hz); };
    out.add("Maximum passband attenuation: " + AsciiAttenuation(s.Apb) + " dB");
    out.add(band ? "Passband bandwidth: " + freq(s.Bpb) : "Passband edge frequency: " + freq(s.wpb));
    if (!s.ForceOrder) {
        out.add("Minimum stopband attenuation: " + AsciiAttenuation(s.Asb) + " dB");
        out.add(band ? "Stopband bandwidth: " + freq(s.Bsb) : "Stopband edge frequency: " + freq(s.wsb));
    }
    if (band) out.add("Center frequency: " + freq(s.w0));
    out.add();
    out.add();
}

void CoefficientBlock(Lines& out, const std::vector<AsciiStageCells>& stages) {
    static const char* const labels[10] = {"To", "A", "B", "C", "D", "E", "F", "wp", "Qp", "wz"};
    out.add("BIQUADRATIC TRANSFER FUNCTION(S)");
    out.add();
    out.add("      T(s) = To * (As^2 + Bs + C)/(Ds^2 + Es + F)");
    out.add();
    std::string heading = "Stage ->    1";
    for (std::size_t i = 2; i <= stages.size(); ++i)
        heading += std::string(14, ' ') + std::to_string(i);
    out.add(heading);
    for (int row = 0; row < 10; ++row) {
        std::string line = PadRight(labels[row], 6);
        for (const AsciiStageCells& cells : stages)
            line += PadRight(cells[row], 15);
        out.add(line);
    }
    out.add();
    out.add();
}

void PoleZeroBlock(Lines& out, const AsciiExportData& data) {
    const bool hz = data.Hz;
    const long double scale = hz ? 1.0L / kTwoPi : 1.0L;
    const std::string unit = hz ? " Hz" : " rad/s";
    out.add("POLES:");
    for (const std::complex<long double>& p : data.Poles) {
        const long double sigma = std::fabs(p.real()), im = p.imag();
        if (im < 0) continue; // the lower pole of a pair is written with the upper one
        std::string line = im > 0 ? " PAIR" : " SNGL";
        line += "   -" + AsciiScientific(sigma * scale) + "   ";
        if (im > 0) {
            const long double wp = std::abs(p);
            line += std::string(kPlusMinus) + " j" + "   " + AsciiScientific(im * scale) +
                    (hz ? "   fp: " : "   wp: ") + AsciiScientific(wp * scale) + unit +
                    "   Q: " + AsciiQ(wp / (2.0L * sigma));
        } else {
            line += "+ j   " + AsciiScientific(0.0L);
        }
        out.add(line);
    }
    bool anyZero = false;
    for (const std::complex<long double>& z : data.Zeros)
        anyZero = anyZero || z.imag() >= 0;
    if (anyZero) {
        out.add();
        out.add("ZEROS:");
        for (const std::complex<long double>& z : data.Zeros) {
            if (z.imag() < 0) continue;
            out.add(std::string(z.imag() > 0 ? " PAIR" : " SNGL") + (hz ? "   fz: " : "   wz: ") +
                    AsciiScientific(std::abs(z) * scale) + unit);
        }
    }
    out.add();
}

void FrequencyTable(Lines& out, const TDesign& d) {
    const Approximation& a = d.Approx[ExportedApprox(d)];
    out.add("        FREQUENCY                MAGNITUDE            PHASE        DELAY");
    out.add("    Hz          rad/s         V/V          dB        degrees        sec");
    for (int i = 0; i <= kResponseIntervals; ++i) {
        const IdealSample& s = a.Ideal[i];
        // The stored phase is the lag; the file, like the graphs, shows the phase angle.
        const long double cells[6] = {d.FreqColumn[i].F, d.FreqColumn[i].W, s.GainVV,
                                      s.GainDb,          -s.Phase.value(),  s.Delay};
        std::string line;
        for (int c = 0; c < 6; ++c)
            line += (c ? "   " : "") + AsciiScientific(cells[c]);
        out.add(line);
    }
}

} // namespace

std::string AsciiScientific(long double x) {
    return ScientificText(x, 7);
}

std::string AsciiAttenuation(long double db) {
    return FixedText(db, 3, 5);
}

std::string AsciiQ(long double q) {
    if (!std::isfinite(q)) return "    ----";
    return FixedText(q, 7, 8);
}

std::string AsciiDescription(const TDesign& d) {
    static const char* const names[kApproxCount] = {"Butterworth", "Chebyshev", "Inverse Chebyshev",
                                                    "Elliptic", "Bessel (Thompson)"};
    static const char* const types[4] = {" Lowpass", " Highpass", " Bandpass", " Bandstop"};
    const int approx = ExportedApprox(d);
    std::string text = d.Spec.FilterType == UserDefined
                           ? std::string("User Defined Filter")
                           : std::string(names[approx]) + types[d.Spec.FilterType] + " Filter";
    return Upper(text) + "  N=" + std::to_string(d.Approx[approx].Result.Order);
}

std::string AsciiExportText(const TDesign& d, const AsciiOptions& options, const AsciiExportData& data) {
    Lines out;
    out.add(data.DateTime);
    out.add();
    out.add(AsciiDescription(d));
    out.add();
    if (options.Specification && d.Spec.FilterType != UserDefined) SpecificationBlock(out, d, data.Hz);
    // Without stages there is no coefficient to write (the window does not offer the
    // block then).
    if (options.Coefficients && !data.Stages.empty()) CoefficientBlock(out, data.Stages);
    if (options.PolesZeros) PoleZeroBlock(out, data);
    if (options.FrequencyData) FrequencyTable(out, d);
    return std::move(out.text());
}

std::string CurrentDateTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[128];
    const std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
    return std::string(buf, n);
}

} // namespace velmora
