#include "ui/entry_keys.h"

#include "ui/tfm_par_ent.h"

namespace velmora {

EntryKey ClassifyEntryKey(const TEditControl& edit, char key, EntryKind kind, int selected) {
    if (key == kKeyEnter) return EntryKey::MoveOn;
    if (key == kKeyBackspace) return EntryKey::Taken;
    const bool digit = key >= '0' && key <= '9';
    const bool point = key == '.' && kind == EntryKind::Decimal;
    if (!digit && !point) return EntryKey::Refused;
    const int kept = static_cast<int>(edit.Text.size()) - selected;
    if (edit.MaxLength > 0 && kept >= edit.MaxLength) return EntryKey::Refused;
    return EntryKey::Taken;
}

std::string NextFocus(const std::vector<const TEditControl*>& order, const std::string& current) {
    const int n = static_cast<int>(order.size());
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (order[i]->Name == current) at = i;
    for (int step = 1; step < n; ++step) {
        const TEditControl* c = order[(at + step + n) % n];
        if (c->Visible && c->Enabled) return c->Name;
    }
    return current;
}

} // namespace velmora
