#include "ui/tuning_text.h"

#include "circuits/tuning.h"
#include "ui/markup_text.h"

namespace velmora {
namespace {

std::string SectionsText(const std::vector<TuningSection>& sections) {
    std::string out;
    for (const TuningSection& s : sections) {
        // One call per source line, as the window draws them: a line's \par starts a
        // new line only at the beginning of a word.
        for (const std::string& line : s.lines)
            out += MarkupPlainText(line, s.values);
        out += "\n";
    }
    return out;
}

} // namespace

std::string TuningPlainText(const TDesign& d, int stage) {
    const auto t = StageTuning(d, stage);
    if (!t) return "";
    std::string out = "Stage Parameters:";
    for (const std::string& p : t->parameters)
        out += "  " + p;
    out += "\n";
    if (!t->recommended) return out + "Tuning sequence: Not recommended\n";
    out += "Tuning sequence (" + t->rating + "):";
    for (std::size_t i = 0; i < t->steps.size(); ++i) {
        const TuningStep& s = t->steps[i];
        out += " " + s.component + " -> " + s.parameter;
        if (s.link == 1) out += " (repeat with the next)";
        if (s.link == 2) out += " (with the next)";
        if (i + 1 < t->steps.size()) out += ",";
    }
    out += "\nAdjusting the stage parameters:\nBy magnitude:\n" + SectionsText(t->magnitude) +
           "By phase (preferred method):\n" + SectionsText(t->phase);
    return out;
}

} // namespace velmora
