// How often the component trees of the calling thread changed.
#pragma once

#include <cstdint>

namespace lgoty::report {

// A count of the changes made on the calling thread to the children of components: every
// child adopted or released, and every component freed with children of its own, adds one.
// A tree is only changed on the thread that uses it, so a list found by walking one (the
// objects of a band, say) is still right while this count has not moved.
uint64_t ComponentTreeChanges();

}  // namespace lgoty::report
