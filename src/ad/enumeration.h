// The one way the library walks a COM enumerator (devices, containers,
// items): one item per Next; an item counts only when Next answers exactly
// S_OK; the walk goes on while Next fetched one item (an item fetched with
// another answer is dropped unexamined); an answer of S_OK without an item
// ends it, so a misbehaving component cannot keep the walk going for ever.
// visit(item) returns false to stop. Each item is released after its visit.
#pragma once

#include "kdplatform/com_ptr.h"

namespace keydepot::ad {

template <class Item, class Enumerator, class Visit>
void ForEachFetched(Enumerator* items, Visit&& visit) {
  ULONG fetched = 0;
  do {
    ComPtr<Item> item;
    fetched = 0;
    if (items->Next(1, item.put(), &fetched) != S_OK) continue;
    if (!item || !visit(item.get())) return;
  } while (fetched == 1);
}

}  // namespace keydepot::ad
