#include "kdtest/heap.h"

#include <malloc.h>

namespace kdtest {

std::size_t BlockSize(void* block) { return _msize(block); }

}  // namespace kdtest
