// Where the program finds its data and keeps the user's files.
#pragma once

#include <string>

namespace velmora {

// Folder of the program data (BessRoot.dat and others): $VELMORA_DATA_DIR, else
// <executable folder>/../share/velmora when it exists, else the source tree's data/.
std::string ProgramDataDir();

// Full path of a program data file.
std::string ProgramDataFile(const std::string& name);

} // namespace velmora
