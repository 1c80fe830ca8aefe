// ZtCollectionFill.h - fills a collection with one new item per value
// (internal; the Init of the logged-event, cause/remedy and detail
// collections).
#ifndef ZT_COLLECTION_FILL_H
#define ZT_COLLECTION_FILL_H

#include <mutex>
#include <utility>
#include <vector>

#include "ZtAtlCom/ComCreate.h"
#include "ZtAtlCom/ComPtr.h"

namespace ZtEventLoggerVdlProxy {

// Makes Create<Item, ItemItf>(&item, value, extra...) for every value, in
// order, and stores the items made as the collection's contents. A value
// whose item cannot be made (no memory, a record refused) is left out, as is
// one that no longer fits the vector.
template <class Item, class ItemItf, class Coll, class Value, class... Extra>
void FillCollection(std::mutex& lock, Coll& coll, std::vector<Value>& values, Extra... extra) noexcept {
    Coll items;
    try {
        items.reserve(values.size());
    } catch (...) {
        // growing one by one below may still succeed
    }
    for (Value& value : values) {
        ZtAtlCom::CComPtr<ItemItf> item;
        if (ZtAtlCom::Failed(ZtAtlCom::Create<Item, ItemItf>(item.ReleaseAndGetAddressOf(), std::move(value),
                                                             extra...)))
            continue;
        try {
            items.push_back(std::move(item));
        } catch (...) {
            // item is released; the collection goes without it
        }
    }
    std::lock_guard<std::mutex> guard(lock);
    coll = std::move(items);
}

}  // namespace ZtEventLoggerVdlProxy

#endif  // ZT_COLLECTION_FILL_H
