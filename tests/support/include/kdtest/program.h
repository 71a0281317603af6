// Facts about the running test program.
#pragma once

#include <string>

namespace kdtest {

// The folder of the program's own file (where the library, linked into
// the program, looks for the component).
std::string ProgramFolder();

// Whether a module with this full path is loaded in the process (its load
// count untouched).
bool IsModuleLoaded(const std::string& path);

}  // namespace kdtest
