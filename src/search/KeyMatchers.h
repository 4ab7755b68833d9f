// The two indexes of all search keys that the scan follows partial matches
// in: a trie, and an Aho-Corasick automaton. Both are built once per search
// (search/SearchPlan.h) and only read by the scans.
#pragma once

#include "search/SearchSpec.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kalix {

// The keys of all strings in a trie, so that one partial match follows every
// string whose key shares its prefix. Two tries: one for matches that begin
// at a word's first letter (strings whose position rule allows that: 0, 1,
// 2, 4) and one for matches that begin inside a word (0, 2, 3).
class KeyTrie {
 public:
  KeyTrie() { nodes_.push_back(Node{}); }
  void Add(const std::string& key, int32_t n);
  // Flattens the trie once every key is in.
  void Seal();
  // The child of `node` by `k`, or 0.
  uint32_t Child(uint32_t node, unsigned char k) const {
    if (!dense_.empty()) return dense_[size_t{node} * 256 + k];
    if (node == 0) return root_[k];
    const Node& v = nodes_[node];
    for (uint32_t e = v.firstEdge, end = v.firstEdge + v.edgeCount; e < end; ++e) {
      if (edges_[e].first == k) return edges_[e].second;
    }
    return 0;
  }
  bool HasChildren(uint32_t node) const { return nodes_[node].edgeCount != 0; }
  bool HasTerms(uint32_t node) const { return nodes_[node].termCount != 0; }
  const int32_t* TermsBegin(uint32_t node) const { return termList_.data() + nodes_[node].firstTerm; }
  const int32_t* TermsEnd(uint32_t node) const { return TermsBegin(node) + nodes_[node].termCount; }
  bool Starts(unsigned char k) const { return root_[k] != 0; }

 private:
  struct Node {
    uint32_t firstEdge = 0, edgeCount = 0, firstTerm = 0, termCount = 0;
  };
  std::vector<Node> nodes_;
  std::vector<std::pair<unsigned char, uint32_t>> edges_;
  std::vector<int32_t> termList_;
  std::array<uint32_t, 256> root_{};
  std::vector<uint32_t> dense_;
  std::vector<std::vector<std::pair<unsigned char, uint32_t>>> building_{1};
  std::unordered_map<uint32_t, std::vector<int32_t>> terms_;
};

// The keys as an Aho-Corasick automaton over the comparison characters: the
// state after each character stands for the longest key prefix that ends
// there, and lists every key that ends there. Its table has one row per
// state and one column per character that occurs in a key.
class KeyAutomaton {
 public:
  // Builds the automaton unless it would exceed `maxCells` table cells.
  bool Build(const cArrowList& strings, size_t maxCells);
  uint32_t Next(uint32_t state, unsigned char k) const { return delta_[size_t{state} * width_ + alpha_[k]]; }
  bool Starts(unsigned char k) const { return alpha_[k] != 0 && delta_[alpha_[k]] != 0; }
  bool HasOutput(uint32_t state) const { return outFirst_[state] != outFirst_[state + 1]; }
  uint32_t StateCount() const { return outFirst_.empty() ? 0 : static_cast<uint32_t>(outFirst_.size() - 1); }
  const std::pair<int32_t, int32_t>* OutBegin(uint32_t state) const { return out_.data() + outFirst_[state]; }
  const std::pair<int32_t, int32_t>* OutEnd(uint32_t state) const { return out_.data() + outFirst_[state + 1]; }

 private:
  using Edges = std::vector<std::vector<std::pair<uint32_t, uint32_t>>>;  // per state: (column, child)
  using Ends = std::vector<std::vector<std::pair<int32_t, int32_t>>>;     // per state: (string, key length)
  // The trie of the keys, over columns.
  void AddKeys(const cArrowList& strings, Edges& edges, Ends& ends) const;
  // The transitions through failure links, and each state's outputs.
  void Link(const Edges& edges, const Ends& ends);

  std::array<uint32_t, 256> alpha_{};
  uint32_t width_ = 1;
  std::vector<uint32_t> delta_;
  std::vector<uint32_t> outFirst_;
  std::vector<std::pair<int32_t, int32_t>> out_;  // (string, key length)
};

}  // namespace kalix
