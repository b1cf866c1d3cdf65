#include "seen_spell_ids.h"

#include <functional>

namespace zorvel::cli {

long SeenSpellIds::FirstLine(std::string_view id, long line) {
  if (in_order_) {
    const size_t count = list_ends_.size();
    if (count == 0 || Before(Listed(count - 1), id)) {
      listed_.append(id);
      list_ends_.push_back(listed_.size());
      list_lines_.push_back(line);
      return 0;
    }
    // Out of order: either an id that comes back, or the end of the order.
    size_t low = 0, high = count;
    while (low < high) {
      const size_t middle = low + (high - low) / 2;
      if (Before(Listed(middle), id)) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    if (low < count && Listed(low) == id) return list_lines_[low];
    MoveListToTable();
  }
  const uint64_t key = KeyOf(id);
  const Seen& seen = Slot(key);
  if (seen.key == key) return seen.line;
  Insert(key, line);
  return 0;
}

bool SeenSpellIds::Before(std::string_view a, std::string_view b) {
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::string_view SeenSpellIds::Listed(size_t index) const {
  const size_t begin = index == 0 ? 0 : list_ends_[index - 1];
  return std::string_view(listed_).substr(begin, list_ends_[index] - begin);
}

void SeenSpellIds::MoveListToTable() {
  in_order_ = false;
  size_t size = 1024;
  while (size < 4 * list_ends_.size()) size *= 2;
  table_.assign(size, Seen());
  for (size_t i = 0; i < list_ends_.size(); ++i) Insert(KeyOf(Listed(i)), list_lines_[i]);
  std::string().swap(listed_);
  std::vector<uint64_t>().swap(list_ends_);
  std::vector<long>().swap(list_lines_);
}

void SeenSpellIds::Insert(uint64_t key, long line) {
  Seen& seen = Slot(key);
  if (seen.key == key) return;
  seen = {key, line};
  if (++table_count_ * 2 > table_.size()) {
    std::vector<Seen> old(table_.size() * 2);
    old.swap(table_);
    for (const Seen& entry : old) {
      if (entry.key != 0) Slot(entry.key) = entry;
    }
  }
}

SeenSpellIds::Seen& SeenSpellIds::Slot(uint64_t key) {
  const size_t mask = table_.size() - 1;
  for (size_t i = key & mask;; i = (i + 1) & mask) {
    if (table_[i].key == key || table_[i].key == 0) return table_[i];
  }
}

uint64_t SeenSpellIds::KeyOf(std::string_view id) {
  const uint64_t key = std::hash<std::string_view>()(id);
  return key == 0 ? 1 : key;
}

}  // namespace zorvel::cli
