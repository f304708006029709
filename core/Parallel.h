// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <functional>

namespace nebelkamm {

// How many threads a piece of work is worth: the wanted number (0 for one
// a core), at most one a core and one for every `grain` items, at least 1.
std::size_t ThreadsFor(std::size_t wanted, std::size_t items, std::size_t grain = 1);

// Runs part(0) … part(parts - 1), each on a thread of its own where one can
// be started, part 0 on the caller's; a part whose thread cannot be started
// (a process limit) runs on the caller's after its own. Returns when all
// have run. The parts must not throw.
void RunParts(std::size_t parts, const std::function<void(std::size_t)>& part);

} // namespace nebelkamm
