// The settings file "VML30.INI": the preferences that outlive a design.
//
// A profile file: section names in brackets, then "key=value" lines. It keeps the
// display unit, the use of the component inventories, the default component
// characteristics of new stages, the four most recent design files and the main window
// position and zoom values (kept and written back; nothing else reads them). It lives
// in $XDG_CONFIG_HOME/velmora/ (default ~/.config/velmora/).
//
// Reading never fails: a missing file, a missing key or a value that does not parse
// gives that key's default, and out-of-range tolerances are replaced (ParseSettings).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/file_io.h"
#include "model/real48.h"

namespace velmora {

inline constexpr const char* kSettingsFileName = "VML30.INI";
// Shown when neither $XDG_CONFIG_HOME nor $HOME names a folder; the program cannot run
// without a place for its settings.
inline constexpr const char* kNoSettingsFolder = "Could Not Find Settings Directory";
inline constexpr int kMaxRecentFiles = 4;

struct Settings {
    // [General]
    int32_t MainLeft = 110, MainTop = 10; // "Mainposn", "left,top"
    int16_t ZoomX = 4, ZoomY = 4, VZoomX = 4, VZoomY = 4;
    // [Component inventory]
    bool UseCapInventory = false; // "Usecap": true only for the exact text "TRUE"
    bool UseResInventory = false; // "Useres": true only for "TRUE"
    // [Settings]
    bool FreqUnitsHz = true; // "Frequency units": Hz only for the exact text "hertz"
    // [Component Characteristics]
    Real48 ResistorTolerance = 1.0L;  // "RTolerance", %, 0.1..20 (else 1)
    Real48 CapacitorTolerance = 1.0L; // "CTolerance", %, 0.1..20 (else 1)
    bool AllCapsStandard = false;     // "AllCapsStnd": false only for the exact text "FALSE"
    Real48 OpAmpTolerance = 30.0L;    // "OpTolerance", %, 5..50 (else 30)
    Real48 OpAmpNoise = 12.0L;        // "Noise", nV/sqrt(Hz), not range checked
    // [Recent file list] "File1".."File4", most recent first
    std::vector<std::string> RecentFiles;

    bool operator==(const Settings&) const = default;
};

// Puts `name` at the head of the list of recent files, removes later entries with the
// same name (exact comparison) and drops the names beyond the fourth.
void AddRecentFile(std::vector<std::string>& list, const std::string& name);

// The settings a profile text gives, with the rules stated above. Section and key
// names compare without regard to case, as profile files do; values compare exactly.
// Blanks around a value and one pair of enclosing double quotes are removed. A
// resistor tolerance other than 1, 5 or 10 % has no resistor inventory series, so it
// switches the resistor inventory off.
Settings ParseSettings(std::string_view text);

// The profile text of the settings (LF line ends). Every value is written so that
// ParseSettings reads it back unchanged: tolerances as the shortest decimal text that
// gives the same stored real; the noise in scientific form with as many decimals as it
// needs (12 gives " 1.2E+1"); the op-amp tolerance as a whole number right-aligned in
// two characters. Only existing recent files are written; a name containing a line
// feed cannot be kept in a profile file and is left out.
std::string SettingsText(const Settings& s);

// The folder of the settings file: $XDG_CONFIG_HOME/velmora when that is an absolute
// path, else $HOME/.config/velmora when $HOME is one; nothing otherwise.
std::optional<std::string> SettingsFolder();

// Reads the settings file; a missing file gives the defaults and succeeds. On any
// other failure `s` holds the defaults and the result carries the system's message.
FileIoResult ReadSettingsFile(const std::string& path, Settings& s);

// Writes the settings file safely (temporary file, then rename), creating its folder.
FileIoResult WriteSettingsFile(const std::string& path, const Settings& s);

} // namespace velmora
