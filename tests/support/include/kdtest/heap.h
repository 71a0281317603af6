// The C run-time's heap, for tests that look at what freed blocks still hold.
#pragma once

#include <cstddef>

namespace kdtest {

// The bytes a block from std::malloc really has, at least the size asked
// for (malloc_usable_size, _msize).
std::size_t BlockSize(void* block);

}  // namespace kdtest
