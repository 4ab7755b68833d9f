#include "search/VariantReview.h"

#include "app/CommandLine.h"
#include "platform/TextFile.h"

#include <algorithm>
#include <numeric>

namespace kalix {
namespace {

// Rebuilds the list from the records at `order` (former indices, each at
// most once); records left out are dropped, and so is a record whose source
// was dropped. Sources follow their records.
void Reorder(cArrowList& strings, std::vector<size_t> order) {
  std::vector<int32_t> place(strings.size(), -1);
  for (size_t k = 0; k < order.size(); ++k) place[order[k]] = static_cast<int32_t>(k);
  // A variant whose source goes goes too (a typed string is never dropped
  // here, but the list must never hold a Source that points elsewhere).
  bool dropped = false;
  for (size_t k : order) {
    const SearchString& s = strings[k];
    if (s.HasSource() && (static_cast<size_t>(s.Source) >= strings.size() || place[static_cast<size_t>(s.Source)] < 0)) {
      place[k] = -1;
      dropped = true;
    }
  }
  if (dropped) {
    std::erase_if(order, [&](size_t k) { return place[k] < 0; });
    for (size_t k = 0; k < order.size(); ++k) place[order[k]] = static_cast<int32_t>(k);
  }
  cArrowList out;
  out.reserve(order.size());
  for (size_t k : order) {
    out.push_back(std::move(strings[k]));
    SearchString& s = out.back();
    if (s.HasSource()) s.Source = place[static_cast<size_t>(s.Source)];
  }
  strings = std::move(out);
}

}  // namespace

void SortStringsInOrder(cArrowList& strings, bool ascending) {
  std::vector<size_t> order(strings.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return ascending ? strings[a].Key < strings[b].Key : strings[b].Key < strings[a].Key;
  });
  Reorder(strings, std::move(order));
}

std::vector<int32_t> RemoveVariantsAt(cArrowList& strings, const std::vector<size_t>& rows) {
  std::vector<bool> removed(strings.size(), false);
  for (size_t row : rows) {
    if (row < strings.size() && strings[row].HasSource()) removed[row] = true;
  }
  std::vector<size_t> order;
  for (size_t k = 0; k < strings.size(); ++k) {
    if (!removed[k]) order.push_back(k);
  }
  std::vector<int32_t> place(strings.size(), -1);
  for (size_t k = 0; k < order.size(); ++k) place[order[k]] = static_cast<int32_t>(k);
  Reorder(strings, std::move(order));
  return place;
}

int32_t AddOwnString(cArrowList& strings, const std::string& text, int16_t position, int16_t exclude,
                     bool ascending) {
  std::string trimmed = TrimBlanks(text);
  if (trimmed.empty()) return -1;
  int32_t index = 0;
  if (!strings.empty()) {
    index = std::max_element(strings.begin(), strings.end(), [](const SearchString& a, const SearchString& b) {
              return a.Index < b.Index;
            })->Index + 1;
  }
  SearchString s(std::move(trimmed));
  s.Position = position;
  s.Exclude = exclude;
  s.Index = index;
  s.Source = static_cast<int32_t>(strings.size());
  strings.push_back(std::move(s));
  SortStringsInOrder(strings, ascending);
  for (size_t k = 0; k < strings.size(); ++k) {
    if (strings[k].Index == index && strings[k].Source == static_cast<int32_t>(k)) return static_cast<int32_t>(k);
  }
  return -1;
}

std::string StringListFileText(const cArrowList& strings) {
  std::string out;
  for (const SearchString& s : strings) {
    out += CutAtZero(s.Key);
    out += '\n';
  }
  return out;
}

}  // namespace kalix
