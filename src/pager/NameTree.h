#pragma once
// The names of a list as one tree of their characters, so that every name that stands at
// a place of a text is found in one walk from there, however long the list. Built once
// per list; the parser keeps one for the suburbs (spelled backwards, read from where an
// ending follows a name) and one for the task types (read forwards).
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace VEKLib {

class tNameTree {
 public:
  enum class tReading { Forwards, Backwards };
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

  tNameTree();
  // `names` in list order; empty ones are left out. Names that are spelled alike keep
  // the first of their list positions.
  tNameTree(const std::vector<std::string>& names, tReading reading);

  // The lowest list position of all names; kNone for a tree without names.
  std::size_t Lowest() const { return nodes_[0].lowest; }

  // Calls found(position) for every name below `limit` in list order that the text
  // spells from `at`: reading text[at], text[at + 1]... forwards, or text[at - 1],
  // text[at - 2]... backwards. Shorter names come first.
  template <class Found>
  void NamesAt(std::string_view text, std::size_t at, std::size_t limit, Found&& found) const {
    if (forwards_ ? at >= text.size() : at == 0) return;
    // Most places begin no name: the root's table answers those at once.
    std::uint32_t node = fromRoot_[static_cast<unsigned char>(forwards_ ? text[at++] : text[--at])];
    while (node != 0 && nodes_[node].lowest < limit) {
      if (nodes_[node].name < limit) found(nodes_[node].name);
      if (forwards_ ? at == text.size() : at == 0) return;
      node = Below(node, static_cast<unsigned char>(forwards_ ? text[at++] : text[--at]));
    }
  }

 private:
  struct tNode {
    std::size_t name = kNone;     // the list position of the name spelled up to here
    std::size_t lowest = kNone;   // the lowest list position at or below this node
    std::uint32_t firstEdge = 0;  // its branches are edges_[firstEdge, + edgeCount)
    std::uint32_t edgeCount = 0;
  };
  struct tEdge {
    unsigned char label;
    std::uint32_t child;
  };

  std::uint32_t Below(std::uint32_t node, unsigned char c) const {  // 0: none
    const tNode& n = nodes_[node];
    for (std::uint32_t e = n.firstEdge; e < n.firstEdge + n.edgeCount; ++e)
      if (edges_[e].label == c) return edges_[e].child;
    return 0;
  }

  bool forwards_ = true;
  std::array<std::uint32_t, 256> fromRoot_{};  // the root's branches, by character
  std::vector<tNode> nodes_;                   // [0] is the root
  std::vector<tEdge> edges_;                   // the other nodes' branches, node by node
};

}  // namespace VEKLib
