// The platform layer is a static library on Windows, linked into every
// module, so none of it is exported: the per-thread last error and the BSTR
// allocator are the system's, one per process anyway.
#pragma once

#define KDPLATFORM_API
#define KDPLATFORM_VISIBLE
