#include "feedback_loops.h"

#include <algorithm>
#include <utility>

namespace cyclesim {

std::vector<FeedbackLoop> find_feedback_loops(int num_blocks, const std::vector<WireEdge>& edges)
{
    std::vector<std::vector<int>> next(static_cast<std::size_t>(num_blocks));
    for (const auto& e : edges) next[e.from].push_back(e.to);

    // Tarjan's strongly connected components, with an explicit stack of
    // (block, next edge to follow): a chain of a hundred thousand blocks
    // would overflow the call stack of the recursive form.
    std::vector<int> index(next.size(), -1), low(next.size(), 0), component(next.size(), -1);
    std::vector<bool> on_stack(next.size(), false);
    std::vector<int> stack;
    std::vector<std::pair<int, std::size_t>> calls;
    int counter = 0, components = 0;
    for (int root = 0; root < num_blocks; ++root) {
        if (index[root] >= 0) continue;
        calls.emplace_back(root, 0);
        index[root] = low[root] = counter++;
        stack.push_back(root);
        on_stack[root] = true;
        while (!calls.empty()) {
            auto& [v, edge] = calls.back();
            if (edge < next[v].size()) {
                const int w = next[v][edge++];
                if (index[w] < 0) {
                    index[w] = low[w] = counter++;
                    stack.push_back(w);
                    on_stack[w] = true;
                    calls.emplace_back(w, 0);  // invalidates v and edge: the loop reads them again
                } else if (on_stack[w]) {
                    low[v] = std::min(low[v], index[w]);
                }
                continue;
            }
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
            calls.pop_back();
            if (!calls.empty()) low[calls.back().first] = std::min(low[calls.back().first], low[done]);
        }
    }

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
