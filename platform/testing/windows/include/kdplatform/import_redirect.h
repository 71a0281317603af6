// TEST-ONLY (Windows): points the calls that a module makes to a system
// function at a stand-in, by rewriting that module's import address table.
// Tests link the library's objects into their own program, so this is how
// they fake what the system would answer (a full disk, a removable drive) or
// see what the code under test asks of it (the descriptor a creation passes,
// the flags of a module load). Production code never calls it.
#pragma once

#include "kdplatform/types.h"

namespace kdp::testing {

// Redirects every import named `function` (from any DLL) of `module` (null:
// the module this static layer is linked into) to `standIn`, and returns
// what the first one pointed at before (null when the module imports no such
// function). Redirecting again returns the stand-in.
FARPROC RedirectImport(const char* function, FARPROC standIn, HMODULE module = nullptr);

}  // namespace kdp::testing
