// SPDX-License-Identifier: MIT
#include "core/Parallel.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace nebelkamm {

std::size_t ThreadsFor(std::size_t wanted, std::size_t items, std::size_t grain) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t worth = std::max<std::size_t>(1, items / std::max<std::size_t>(grain, 1));
    return std::max<std::size_t>(1, std::min({wanted ? wanted : cores, cores, worth}));
}

void RunParts(std::size_t parts, const std::function<void(std::size_t)>& part) {
    std::vector<std::thread> threads;
    std::vector<std::size_t> left;
    for (std::size_t p = 1; p < parts; ++p) {
        try {
            threads.emplace_back(part, p);
        } catch (const std::system_error&) {
            left.push_back(p);
        }
    }
    if (parts > 0)
        part(0);
    for (const std::size_t p : left)
        part(p);
    for (std::thread& t : threads)
        t.join();
}

} // namespace nebelkamm
