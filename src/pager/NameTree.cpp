#include "pager/NameTree.h"

#include <algorithm>

namespace VEKLib {

tNameTree::tNameTree() : nodes_(1) {}

tNameTree::tNameTree(const std::vector<std::string>& names, tReading reading)
    : forwards_(reading == tReading::Forwards), nodes_(1) {
  // Branches are gathered per node first, then laid out one node after the other.
  std::vector<std::vector<tEdge>> branches(1);
  for (std::size_t position = 0; position < names.size(); ++position) {
    const std::string& name = names[position];
    if (name.empty()) continue;
    std::uint32_t node = 0;
    nodes_[0].lowest = std::min(nodes_[0].lowest, position);
    for (std::size_t i = 0; i < name.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(forwards_ ? name[i] : name[name.size() - 1 - i]);
      std::uint32_t* next = &fromRoot_[c];
      if (node != 0) {
        auto& mine = branches[node];
        auto edge = std::find_if(mine.begin(), mine.end(), [c](const tEdge& e) { return e.label == c; });
        if (edge == mine.end()) edge = mine.insert(mine.end(), tEdge{c, 0});
        next = &edge->child;
      }
      if (*next == 0) {
        *next = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
        branches.emplace_back();
      }
      node = *next;
      nodes_[node].lowest = std::min(nodes_[node].lowest, position);
    }
    nodes_[node].name = std::min(nodes_[node].name, position);
  }
  for (std::size_t node = 1; node < nodes_.size(); ++node) {
    nodes_[node].firstEdge = static_cast<std::uint32_t>(edges_.size());
    nodes_[node].edgeCount = static_cast<std::uint32_t>(branches[node].size());
    edges_.insert(edges_.end(), branches[node].begin(), branches[node].end());
  }
}

}  // namespace VEKLib
