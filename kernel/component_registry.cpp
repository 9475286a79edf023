#include "kernel/component_registry.h"

#include "kernel/platform.h"

namespace tallivo {

int ComponentRegistry::registerComponent(Component* component) {
    if (count_ >= kCapacity) return 1;
    entries_[static_cast<std::size_t>(count_)] = component;
    ++count_;
    return 0;
}

int ComponentRegistry::shutdownAll() {
    for (std::int32_t i = 0; i < count_; ++i) entries_[static_cast<std::size_t>(i)]->shutdown();
    return platform().toolkitExit();
}

}  // namespace tallivo
