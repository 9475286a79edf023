#pragma once
// The table of clocked components, in registration order, which is the call
// order of both phases. Entries are non-owning and never removed.
#include <array>
#include <cstdint>

#include "kernel/component.h"

namespace tallivo {

class ComponentRegistry {
  public:
    static constexpr std::int32_t kCapacity = 64;

    // 0 on success; 1 when the table is full (the component is never clocked).
    int registerComponent(Component* component);

    // One clock period: every phase 1 in order, then every phase 2 in order.
    // The count is read again before each call.
    void stepClock() {
        for (std::int32_t i = 0; i < count_; ++i)
            entries_[static_cast<std::size_t>(i)]->clockPhase1();
        for (std::int32_t i = 0; i < count_; ++i)
            entries_[static_cast<std::size_t>(i)]->clockPhase2();
    }

    // shutdown of every component in order, then the toolkit's exit hook,
    // whose result is returned.
    int shutdownAll();

    std::int32_t count() const { return count_; }
    Component* at(std::int32_t index) const { return entries_[static_cast<std::size_t>(index)]; }

  private:
    std::array<Component*, kCapacity> entries_{};
    std::int32_t count_ = 0;
};

}  // namespace tallivo
