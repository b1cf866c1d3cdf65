// The compiled-in dictionary of data items: for each item name, whether a
// record holds it as one text or as a sequence of texts, and the descriptive
// attributes the schema document publishes for it. Built once, never changed;
// safe to read from any thread.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zorvel {

// How a record holds an item. kUnknownItem marks a name outside the
// dictionary (internal items such as "DiagHRG" or "GateTriggerPos").
enum DataItemKind : int { kUnknownItem = 0, kSingle = 1, kArray = 2 };

using ItemAttribute = std::pair<std::string, std::string>;
using AttributeList = std::vector<ItemAttribute>;

// The kind of `name`; kUnknownItem when the name is not a data item.
// Exact, case-sensitive match.
DataItemKind KindOf(std::string_view name);

// The attribute list to publish for input field `item` of mode `mode`: the
// mode's own list when it has one for the item, else the default list, else
// null. The lists are never merged.
const AttributeList* AttributesFor(std::string_view mode, std::string_view item);

}  // namespace zorvel
