#include "kernel/component.h"

#include <cstdio>
#include <cstdlib>

namespace tallivo {

// Only reachable through a qualified call; every component overrides it.
int Component::shutdown() {
    std::fputs("fatal: Component::shutdown called on the abstract base\n", stderr);
    std::abort();
}

}  // namespace tallivo
