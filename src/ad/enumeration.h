// The one way the library walks a COM enumerator (devices, containers,
// items): one item per Next; an item counts only when Next answers exactly
// S_OK; after any other answer the walk goes on only while Next fetched one
// item (which is dropped unexamined); an answer of S_OK without an item ends
// it, so a misbehaving component cannot keep the walk going for ever.
// visit(item) returns false to stop. Each item is released after its visit.
//
// After an item answered with S_OK the walk goes on while Next fetched one
// item (Walk::kWhileFetchedOne), or whatever count came with it
// (Walk::kOnAfterOk, the device lookup's rule).
#pragma once

#include "kdplatform/com_ptr.h"

namespace keydepot::detail {

enum class Walk { kWhileFetchedOne, kOnAfterOk };

template <class Item, class Enumerator, class Visit>
void ForEachFetched(Enumerator* items, Visit&& visit, Walk walk = Walk::kWhileFetchedOne) {
  for (;;) {
    ComPtr<Item> item;
    ULONG fetched = 0;
    if (items->Next(1, item.put(), &fetched) == S_OK) {
      if (!item || !visit(item.get())) return;
      if (walk == Walk::kOnAfterOk) continue;
    }
    if (fetched != 1) return;
  }
}

}  // namespace keydepot::detail
