// The keyboard rule of the numeric entry fields: a field takes the digits, the decimal
// point and Backspace (an order field only digits and Backspace), Enter moves the focus
// on to the next field that can take it, and every other character key is refused with
// a beep. Signs and exponents therefore cannot be typed at all, which is what lets the
// readers of the fields treat every text as a plain positive decimal.
#pragma once

#include <string>
#include <vector>

namespace velmora {

struct TEditControl;

inline constexpr char kKeyBackspace = '\b';
inline constexpr char kKeyEnter = '\r';

enum class EntryKey {
    Taken,   // the field inserts the character (or deletes one for Backspace)
    MoveOn,  // Enter: the focus goes to the next field
    Refused, // beep; the text stays as it was
};

enum class EntryKind { Decimal, Integer };

// What a field does with a typed character. `selected` is the number of characters the
// key would replace: a full field refuses a new character unless it replaces some.
EntryKey ClassifyEntryKey(const TEditControl& edit, char key, EntryKind kind, int selected = 0);

// The name of the control after `current` in `order` that is visible and enabled
// (wrapping round; `current` itself when no other can take the focus).
std::string NextFocus(const std::vector<const TEditControl*>& order, const std::string& current);

} // namespace velmora
