// TEST-ONLY (Windows): points the calls that the module this static layer is
// linked into makes to a system function at a stand-in, by rewriting that
// module's import address table. Tests link the library's objects into their
// own program, so this is how they fake what the system would answer (a full
// disk, a removable drive). Production code never calls it.
#pragma once

#include "kdplatform/types.h"

namespace kdp::testing {

// Redirects every import named `function` (from any DLL) to `standIn`, and
// returns what the first one pointed at before (null when the module imports
// no such function). Redirecting again returns the stand-in.
FARPROC RedirectImport(const char* function, FARPROC standIn);

}  // namespace kdp::testing
