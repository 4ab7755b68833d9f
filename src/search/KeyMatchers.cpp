#include "search/KeyMatchers.h"

#include <algorithm>

namespace kalix {

void KeyTrie::Add(const std::string& key, int32_t n) {
  uint32_t node = 0;
  for (char ch : key) {
    unsigned char k = static_cast<unsigned char>(ch);
    uint32_t next = 0;
    for (const auto& [c, child] : building_[node]) {
      if (c == k) next = child;
    }
    if (next == 0) {
      next = static_cast<uint32_t>(nodes_.size());
      nodes_.push_back(Node{});
      building_.emplace_back();
      building_[node].push_back({k, next});
    }
    node = next;
  }
  terms_[node].push_back(n);
}

void KeyTrie::Seal() {
  for (uint32_t v = 0; v < nodes_.size(); ++v) {
    nodes_[v].firstEdge = static_cast<uint32_t>(edges_.size());
    for (const auto& e : building_[v]) edges_.push_back(e);
    nodes_[v].edgeCount = static_cast<uint32_t>(building_[v].size());
    nodes_[v].firstTerm = static_cast<uint32_t>(termList_.size());
    auto it = terms_.find(v);
    if (it != terms_.end()) {
      for (int32_t n : it->second) termList_.push_back(n);
    }
    nodes_[v].termCount = static_cast<uint32_t>(termList_.size()) - nodes_[v].firstTerm;
  }
  for (const auto& [c, child] : building_[0]) root_[c] = child;
  if (nodes_.size() <= 4096) {
    // Small tries get a full transition table: one load per step.
    dense_.assign(nodes_.size() * 256, 0);
    for (uint32_t v = 0; v < nodes_.size(); ++v) {
      for (const auto& [c, child] : building_[v]) dense_[size_t{v} * 256 + c] = child;
    }
  }
  building_.clear();
  terms_.clear();
}

bool KeyAutomaton::Build(const cArrowList& strings, size_t maxCells) {
  std::array<uint32_t, 256> alpha{};
  uint32_t width = 1;  // column 0: characters of no key
  size_t nodes = 1;
  for (const SearchString& s : strings) {
    nodes += s.Key.size();
    for (char ch : s.Key) {
      unsigned char c = static_cast<unsigned char>(ch);
      if (alpha[c] == 0) alpha[c] = width++;
    }
  }
  if (nodes * width > maxCells) return false;
  alpha_ = alpha;
  width_ = width;
  Edges edges(1);
  Ends ends(1);
  AddKeys(strings, edges, ends);
  Link(edges, ends);
  return true;
}

void KeyAutomaton::AddKeys(const cArrowList& strings, Edges& edges, Ends& ends) const {
  for (size_t n = 0; n < strings.size(); ++n) {
    const std::string& key = strings[n].Key;
    if (key.empty()) continue;
    uint32_t v = 0;
    for (char ch : key) {
      uint32_t a = alpha_[static_cast<unsigned char>(ch)];
      uint32_t next = 0;
      for (const auto& [col, child] : edges[v]) {
        if (col == a) next = child;
      }
      if (next == 0) {
        next = static_cast<uint32_t>(edges.size());
        edges[v].push_back({a, next});
        edges.emplace_back();
        ends.emplace_back();
      }
      v = next;
    }
    ends[v].push_back({static_cast<int32_t>(n), static_cast<int32_t>(key.size())});
  }
}

void KeyAutomaton::Link(const Edges& edges, const Ends& ends) {
  const size_t count = edges.size();
  delta_.assign(count * width_, 0);
  std::vector<uint32_t> fail(count, 0);
  std::vector<uint32_t> order;
  order.reserve(count);
  for (const auto& [col, child] : edges[0]) {
    delta_[col] = child;
    order.push_back(child);
  }
  for (size_t q = 0; q < order.size(); ++q) {
    const uint32_t v = order[q];
    for (uint32_t col = 0; col < width_; ++col) delta_[size_t{v} * width_ + col] = delta_[size_t{fail[v]} * width_ + col];
    for (const auto& [col, child] : edges[v]) {
      fail[child] = delta_[size_t{fail[v]} * width_ + col];
      delta_[size_t{v} * width_ + col] = child;
      order.push_back(child);
    }
  }
  // Outputs: the keys ending at a state and at its failure states, in the
  // order of the strings.
  outFirst_.assign(count + 1, 0);
  Ends outs(count);
  for (uint32_t v : order) {
    outs[v] = ends[v];
    const auto& inherited = outs[fail[v]];
    outs[v].insert(outs[v].end(), inherited.begin(), inherited.end());
    std::sort(outs[v].begin(), outs[v].end());
  }
  for (size_t v = 0; v < count; ++v) {
    outFirst_[v] = static_cast<uint32_t>(out_.size());
    out_.insert(out_.end(), outs[v].begin(), outs[v].end());
  }
  outFirst_[count] = static_cast<uint32_t>(out_.size());
}

}  // namespace kalix
