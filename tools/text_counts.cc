#include "text_counts.h"

#include <functional>

namespace zorvel::cli {

void TextCounts::Add(std::string_view text, long count) {
  if (2 * (counts_.size() + 1) > slots_.size()) Grow();
  const uint64_t hash = std::hash<std::string_view>()(text);
  Slot& slot = slots_[Find(text, hash)];
  if (slot.index != 0) {
    counts_[slot.index - 1] += count;
    return;
  }
  texts_.append(text);
  ends_.push_back(texts_.size());
  counts_.push_back(count);
  slot = {static_cast<uint32_t>(hash), static_cast<uint32_t>(counts_.size())};
}

void TextCounts::Clear() {
  texts_.clear();
  ends_.clear();
  counts_.clear();
  slots_.assign(slots_.size(), Slot());
}

long TextCounts::Of(std::string_view text) const {
  if (slots_.empty()) return 0;
  const Slot& slot = slots_[Find(text, std::hash<std::string_view>()(text))];
  return slot.index == 0 ? 0 : counts_[slot.index - 1];
}

std::string_view TextCounts::Text(size_t index) const {
  const size_t begin = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(texts_).substr(begin, ends_[index] - begin);
}

size_t TextCounts::Find(std::string_view text, uint64_t hash) const {
  const size_t mask = slots_.size() - 1;
  const auto low = static_cast<uint32_t>(hash);
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.index == 0 || (slot.hash == low && Text(slot.index - 1) == text)) return i;
  }
}

void TextCounts::Grow() {
  slots_.assign(slots_.empty() ? 64 : 2 * slots_.size(), Slot());
  const size_t mask = slots_.size() - 1;
  for (size_t index = 0; index < counts_.size(); ++index) {
    const uint64_t hash = std::hash<std::string_view>()(Text(index));
    size_t i = hash & mask;
    while (slots_[i].index != 0) i = (i + 1) & mask;
    slots_[i] = {static_cast<uint32_t>(hash), static_cast<uint32_t>(index + 1)};
  }
}

}  // namespace zorvel::cli
