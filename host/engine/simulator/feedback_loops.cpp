#include "feedback_loops.h"

#include <algorithm>
#include <utility>

namespace cyclesim {

namespace {

// Tarjan's strongly connected components with an explicit stack of
// (block, next edge to follow) frames instead of recursion: a model is a
// chain as long as it has blocks, and a recursive walk down a chain of a
// hundred thousand blocks runs out of machine stack.
std::vector<int> strong_components(const std::vector<std::vector<int>>& next, int& components)
{
    const std::size_t n = next.size();
    std::vector<int> index(n, -1), low(n, 0), component(n, -1);
    std::vector<bool> on_stack(n, false);
    std::vector<int> stack;
    std::vector<std::pair<int, std::size_t>> frames;
    int counter = 0;
    components = 0;
    for (std::size_t root = 0; root < n; ++root) {
        if (index[root] >= 0) continue;
        frames.emplace_back(static_cast<int>(root), 0);
        index[root] = low[root] = counter++;
        stack.push_back(static_cast<int>(root));
        on_stack[root] = true;
        while (!frames.empty()) {
            auto& [v, edge] = frames.back();
            if (edge < next[v].size()) {
                const int w = next[v][edge++];
                if (index[w] < 0) {
                    index[w] = low[w] = counter++;
                    stack.push_back(w);
                    on_stack[w] = true;
                    frames.emplace_back(w, 0);  // invalidates v and edge
                } else if (on_stack[w]) {
                    low[v] = std::min(low[v], index[w]);
                }
                continue;
            }
            // All of v's edges followed: close its component if it roots
            // one, then hand its low link back to the block that reached it.
            const int done = v;
            if (low[done] == index[done]) {
                int w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    on_stack[w] = false;
                    component[w] = components;
                } while (w != done);
                ++components;
            }
            frames.pop_back();
            if (!frames.empty()) {
                const int parent = frames.back().first;
                low[parent] = std::min(low[parent], low[done]);
            }
        }
    }
    return component;
}

}  // namespace

std::vector<FeedbackLoop> find_feedback_loops(int num_blocks, const std::vector<WireEdge>& edges)
{
    std::vector<std::vector<int>> next(static_cast<std::size_t>(num_blocks));
    for (const auto& e : edges) next[e.from].push_back(e.to);

    int components = 0;
    const std::vector<int> component = strong_components(next, components);
    std::vector<FeedbackLoop> loops(static_cast<std::size_t>(components));
    std::vector<bool> cyclic(loops.size(), false), broken(next.size(), false);
    for (int v = 0; v < num_blocks; ++v) loops[component[v]].members.push_back(v);
    for (const auto& e : edges) {
        if (component[e.from] != component[e.to]) continue;
        const int c = component[e.from];
        if (loops[c].members.size() > 1 || e.from == e.to) cyclic[c] = true;
        if (!e.feedthrough) broken[e.to] = true;
    }
    std::vector<FeedbackLoop> out;
    for (std::size_t c = 0; c < loops.size(); ++c) {
        if (!cyclic[c]) continue;
        for (int v : loops[c].members)
            if (broken[v]) loops[c].breakers.push_back(v);
        out.push_back(std::move(loops[c]));
    }
    std::sort(out.begin(), out.end(),
              [](const FeedbackLoop& a, const FeedbackLoop& b) { return a.members.front() < b.members.front(); });
    return out;
}

}  // namespace cyclesim
