#pragma once

#include <cstdint>
#include <vector>

namespace net {

/// Handle-to-owner table with the slot rules the dispatch relies on: a free slot
/// holds -1; adding scans the used slots in order and stops at the first slot that is
/// free or already holds the handle (a slot with the same handle keeps its first
/// owner); otherwise the table grows by one slot. Removing frees the slot; the count of
/// used slots never shrinks. Owners are not owned.
template <typename Owner>
class RoutingTable {
 public:
  static constexpr std::int64_t kFree = -1;

  void Add(std::int64_t handle, Owner* owner) {
    for (Slot& slot : slots_) {
      if (slot.handle == handle) return;
      if (slot.handle == kFree) {
        slot = Slot{handle, owner};
        return;
      }
    }
    slots_.push_back(Slot{handle, owner});
  }

  void Remove(std::int64_t handle) {
    for (Slot& slot : slots_) {
      if (slot.handle == handle) slot = Slot{};
    }
  }

  /// Replaces the owner of the slot holding `handle`; no slot, no change.
  void Reassign(std::int64_t handle, Owner* owner) {
    for (Slot& slot : slots_) {
      if (slot.handle == handle) slot.owner = owner;
    }
  }

  /// The owner of `handle`, or nullptr.
  Owner* Find(std::int64_t handle) const {
    if (handle == kFree) return nullptr;
    for (const Slot& slot : slots_) {
      if (slot.handle == handle) return slot.owner;
    }
    return nullptr;
  }

  /// Back to a table with no used slot.
  void Reset() { slots_.clear(); }

  /// Number of used slots (free ones included).
  std::size_t Count() const { return slots_.size(); }
  /// The handle in slot `index` (0-based), -1 when free.
  std::int64_t HandleAt(std::size_t index) const { return slots_.at(index).handle; }

 private:
  struct Slot {
    std::int64_t handle = kFree;
    Owner* owner = nullptr;
  };
  std::vector<Slot> slots_;
};

}  // namespace net
