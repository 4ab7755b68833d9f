#include "targets/Sorting.h"

#include "platform/Hash.h"
#include "targets/TextOrder.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <unordered_map>

namespace kalix {

cTargetList MergeByText(cTargetList first, cTargetList second) {
  cTargetList merged;
  merged.reserve(first.size() + second.size());
  std::merge(std::make_move_iterator(first.begin()), std::make_move_iterator(first.end()),
             std::make_move_iterator(second.begin()), std::make_move_iterator(second.end()),
             std::back_inserter(merged), [](const Target& a, const Target& b) {
               const int c = CompareBytes(a.Text, b.Text);
               if (c != 0) return c < 0;
               return CompareBytes(a.DocumentRef, b.DocumentRef) < 0;
             });
  return merged;
}

namespace {

// The rank of each target's document reference among the distinct
// references in byte order (unsigned).
std::vector<uint32_t> ReferenceRanks(const cTargetList& targets) {
  const uint32_t n = static_cast<uint32_t>(targets.size());
  std::vector<std::string_view> refs;  // distinct references, by first appearance
  std::vector<uint32_t> rankOf(n);     // first the reference's number, then its rank
  std::unordered_map<std::string_view, uint32_t> ids;
  std::string_view last;
  uint32_t lastId = 0;
  for (uint32_t k = 0; k < n; ++k) {
    const std::string_view ref = targets[k].DocumentRef;
    if (k == 0 || ref != last) {
      const auto [it, added] = ids.emplace(ref, static_cast<uint32_t>(refs.size()));
      if (added) refs.push_back(ref);
      last = ref;
      lastId = it->second;
    }
    rankOf[k] = lastId;
  }
  std::vector<uint32_t> byRef(refs.size());
  for (uint32_t r = 0; r < byRef.size(); ++r) byRef[r] = r;
  std::sort(byRef.begin(), byRef.end(),
            [&refs](uint32_t x, uint32_t y) { return CompareBytes(refs[x], refs[y]) < 0; });
  std::vector<uint32_t> rank(refs.size());
  for (uint32_t r = 0; r < byRef.size(); ++r) rank[byRef[r]] = r;
  for (uint32_t& r : rankOf) r = rank[r];
  return rankOf;
}

// Moves every target once into the order of `entries` (each with the
// `index` of a target): the reads jump about (the records a few places
// ahead are fetched early), the writes do not.
template <typename Entry>
void MoveInOrder(cTargetList& targets, const std::vector<Entry>& entries) {
  const size_t n = entries.size();
  cTargetList ordered;
  ordered.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    if (k + 8 < n) Prefetch(&targets[entries[k + 8].index]);
    ordered.push_back(std::move(targets[entries[k].index]));
  }
  targets.swap(ordered);
}

// Whether the list is in order already (text, then reference).
bool InTextOrder(const cTargetList& targets) {
  for (size_t k = 1; k < targets.size(); ++k) {
    const Target& a = targets[k - 1];
    const Target& b = targets[k];
    const int c = CompareBytes(a.Text, b.Text);
    if (c > 0 || (c == 0 && CompareBytes(a.DocumentRef, b.DocumentRef) >= 0)) return false;
  }
  return true;
}

}  // namespace

void SortTargetsByText(cTargetList& targets) {
  // A list in order (one document reference) is left as it is.
  if (InTextOrder(targets)) return;
  // Otherwise the order is worked out on small keys (the first eight bytes
  // of the text, its length, the rank of the reference), which settle
  // almost every comparison without reading the targets, and then every
  // target is moved once. Equal targets keep their order.
  const uint32_t n = static_cast<uint32_t>(targets.size());
  struct Key {
    uint64_t lead;
    uint32_t length;
    uint32_t ref;
    uint32_t index;
  };
  std::vector<Key> keys(n);
  {
    const std::vector<uint32_t> rank = ReferenceRanks(targets);
    for (uint32_t k = 0; k < n; ++k) {
      const std::string& text = targets[k].Text;
      keys[k] = Key{Leading8(text), static_cast<uint32_t>(std::min<size_t>(text.size(), UINT32_MAX)), rank[k], k};
    }
  }
  std::sort(keys.begin(), keys.end(), [&targets](const Key& x, const Key& y) {
    if (x.lead != y.lead) return x.lead < y.lead;
    if (x.length > 8 || y.length > 8) {
      const int c = std::string_view(targets[x.index].Text).compare(targets[y.index].Text);
      if (c != 0) return c < 0;
    } else if (x.length != y.length) {
      return x.length < y.length;  // the shorter one is a prefix of the other
    }
    if (x.ref != y.ref) return x.ref < y.ref;
    return x.index < y.index;
  });
  MoveInOrder(targets, keys);
}

void SortTargets(cTargetList& targets, int key, bool byDocument) {
  const uint32_t n = static_cast<uint32_t>(targets.size());
  if (n < 2) return;
  // The order is worked out on indices, with each target's number and the
  // rank of its document reference at hand; then every target is moved once.
  struct Entry {
    uint64_t number;  // occurrences, or the first eight bytes of the text
    uint32_t ref;
    uint32_t index;
  };
  const bool byNumber = key == 0 || key == 1;
  const bool descending = key == 1 || key == 3;
  std::vector<Entry> entries(n);
  {
    const std::vector<uint32_t> rank = ReferenceRanks(targets);
    for (uint32_t k = 0; k < n; ++k) {
      entries[k] = Entry{byNumber ? uint64_t{targets[k].Starts.size()} : Leading8(targets[k].Text), rank[k], k};
    }
  }
  // Negative, zero or positive: the key of the sort alone.
  const auto compareKey = [&targets, byNumber](const Entry& a, const Entry& b) -> int {
    if (a.number != b.number) return a.number < b.number ? -1 : 1;
    if (byNumber) return 0;
    return CompareBytes(targets[a.index].Text, targets[b.index].Text);
  };
  const auto before = [&](const Entry& a, const Entry& b) {
    if (byDocument && a.ref != b.ref) return a.ref < b.ref;
    int c = compareKey(a, b);
    if (descending) c = -c;
    if (c != 0) return c < 0;
    return a.ref < b.ref;
  };
  std::stable_sort(entries.begin(), entries.end(), before);
  MoveInOrder(targets, entries);
}

size_t CountOccurrences(const cTargetList& targets) {
  size_t n = 0;
  for (const Target& t : targets) n += t.Starts.size();
  return n;
}

}  // namespace kalix
