#include "kdtest/heap.h"

#include <malloc.h>

namespace kdtest {

std::size_t BlockSize(void* block) { return malloc_usable_size(block); }

}  // namespace kdtest
