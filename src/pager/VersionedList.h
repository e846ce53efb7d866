#pragma once
// A list that counts its changes. Whatever is built from its contents (the parser's
// indexes of suburb and task-type names) keeps the generation it was built for and is
// rebuilt when the list's generation differs, so that a list refilled anywhere, by a
// loader or by a test assigning it directly, is never read through an index of older
// contents.
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

namespace VEKLib {

template <class T>
class tVersionedList {
 public:
  tVersionedList() = default;
  // Copies keep the generation with the contents; there is no move, so that a list is
  // never emptied without a new generation.
  tVersionedList(const tVersionedList&) = default;
  tVersionedList& operator=(const tVersionedList&) = default;

  tVersionedList& operator=(std::vector<T> items) {
    items_ = std::move(items);
    generation_ = NextGeneration();
    return *this;
  }
  void clear() { *this = std::vector<T>{}; }

  // Read access only: every change goes through the two above.
  const std::vector<T>& items() const { return items_; }
  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  const T& operator[](std::size_t i) const { return items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // New with every change; a copy keeps it with the contents. 0: never filled.
  std::uint64_t Generation() const { return generation_; }

  friend bool operator==(const tVersionedList& a, const std::vector<T>& b) { return a.items_ == b; }

 private:
  static std::uint64_t NextGeneration() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
  }

  std::vector<T> items_;
  std::uint64_t generation_ = 0;
};

}  // namespace VEKLib
