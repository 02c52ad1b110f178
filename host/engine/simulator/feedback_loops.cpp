#include "feedback_loops.h"

#include <algorithm>
#include <functional>

namespace cyclesim {

std::vector<FeedbackLoop> find_feedback_loops(int num_blocks, const std::vector<WireEdge>& edges)
{
    std::vector<std::vector<int>> next(static_cast<std::size_t>(num_blocks));
    for (const auto& e : edges) next[e.from].push_back(e.to);

    // Tarjan's strongly connected components; the recursion is at most as
    // deep as the model has blocks.
    std::vector<int> index(next.size(), -1), low(next.size(), 0), component(next.size(), -1);
    std::vector<bool> on_stack(next.size(), false);
    std::vector<int> stack;
    int counter = 0, components = 0;
    std::function<void(int)> visit = [&](int v) {
        index[v] = low[v] = counter++;
        stack.push_back(v);
        on_stack[v] = true;
        for (int w : next[v]) {
            if (index[w] < 0) {
                visit(w);
                low[v] = std::min(low[v], low[w]);
            } else if (on_stack[w]) {
                low[v] = std::min(low[v], index[w]);
            }
        }
        if (low[v] == index[v]) {
            int w;
            do {
                w = stack.back();
                stack.pop_back();
                on_stack[w] = false;
                component[w] = components;
            } while (w != v);
            ++components;
        }
    };
    for (int v = 0; v < num_blocks; ++v)
        if (index[v] < 0) visit(v);

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
