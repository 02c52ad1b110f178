#include "execution_plan.h"

#include <algorithm>
#include <map>
#include <set>

namespace cyclesim {

namespace {

// Strongly connected components of the graph over `nodes` with the given
// edges (pairs of node ids), in topological order of the condensation
// (a component comes before every component it feeds).
std::vector<std::vector<int>> strongly_connected(const std::vector<int>& nodes,
                                                 const std::vector<std::pair<int, int>>& edges)
{
    std::map<int, std::vector<int>> succ;
    for (auto [a, b] : edges) succ[a].push_back(b);
    std::map<int, int> index, low;
    std::set<int> on_stack;
    std::vector<int> stack;
    std::vector<std::vector<int>> components;
    int counter = 0;

    // Tarjan's algorithm, with an explicit stack so that long chains of
    // blocks cannot exhaust the call stack.
    struct Frame {
        int node;
        std::size_t next;
    };
    for (int root : nodes) {
        if (index.count(root)) continue;
        std::vector<Frame> frames{{root, 0}};
        index[root] = low[root] = counter++;
        stack.push_back(root);
        on_stack.insert(root);
        while (!frames.empty()) {
            Frame& f = frames.back();
            const auto& out = succ[f.node];
            if (f.next < out.size()) {
                int w = out[f.next++];
                if (!index.count(w)) {
                    index[w] = low[w] = counter++;
                    stack.push_back(w);
                    on_stack.insert(w);
                    frames.push_back({w, 0});
                } else if (on_stack.count(w)) {
                    low[f.node] = std::min(low[f.node], index[w]);
                }
                continue;
            }
            int v = f.node;
            frames.pop_back();
            if (!frames.empty()) low[frames.back().node] = std::min(low[frames.back().node], low[v]);
            if (low[v] == index[v]) {
                std::vector<int> comp;
                int w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    on_stack.erase(w);
                    comp.push_back(w);
                } while (w != v);
                std::sort(comp.begin(), comp.end());
                components.push_back(std::move(comp));
            }
        }
    }
    // Tarjan emits components in reverse topological order.
    std::reverse(components.begin(), components.end());
    return components;
}

bool is_cyclic(const std::vector<int>& comp, const std::vector<std::pair<int, int>>& edges)
{
    if (comp.size() > 1) return true;
    for (auto [a, b] : edges)
        if (a == comp[0] && b == comp[0]) return true;
    return false;
}

// Opens one loop by tearing edges until no cycle is left. At each round, in
// every remaining cycle, the block whose outgoing in-cycle edges carry the
// fewest distinct output elements is torn (fewest tear variables), preferring
// the block on most edges (most cycles broken), then the earliest in the model.
LoopPlan tear_loop(const std::vector<int>& members, const std::vector<FeedthroughEdge>& all_edges)
{
    std::set<int> in_loop(members.begin(), members.end());
    std::vector<FeedthroughEdge> edges;
    for (const auto& e : all_edges)
        if (in_loop.count(e.from.block) && in_loop.count(e.to.block)) edges.push_back(e);
    std::vector<bool> torn(edges.size(), false);

    auto block_edges = [&]() {
        std::vector<std::pair<int, int>> out;
        for (std::size_t i = 0; i < edges.size(); ++i)
            if (!torn[i]) out.emplace_back(edges[i].from.block, edges[i].to.block);
        return out;
    };

    for (;;) {
        auto remaining = block_edges();
        bool any = false;
        for (const auto& comp : strongly_connected(members, remaining)) {
            if (!is_cyclic(comp, remaining)) continue;
            any = true;
            std::set<int> in_comp(comp.begin(), comp.end());
            int best = -1;
            std::size_t best_cost = 0, best_degree = 0;
            for (int v : comp) {
                std::set<ElementRef> outs;
                std::size_t degree = 0;
                for (std::size_t i = 0; i < edges.size(); ++i) {
                    if (torn[i] || !in_comp.count(edges[i].to.block) || !in_comp.count(edges[i].from.block)) continue;
                    if (edges[i].from.block == v) outs.insert(edges[i].from), ++degree;
                    if (edges[i].to.block == v) ++degree;
                }
                if (best < 0 || outs.size() < best_cost || (outs.size() == best_cost && degree > best_degree)) {
                    best = v;
                    best_cost = outs.size();
                    best_degree = degree;
                }
            }
            for (std::size_t i = 0; i < edges.size(); ++i)
                if (!torn[i] && edges[i].from.block == best && in_comp.count(edges[i].to.block)) torn[i] = true;
        }
        if (!any) break;
    }

    LoopPlan plan;
    // With the torn edges removed the members form a DAG; its components are
    // single blocks in topological order.
    for (const auto& comp : strongly_connected(members, block_edges())) plan.members.push_back(comp[0]);
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (!torn[i]) continue;
        auto it = std::find(plan.tears.begin(), plan.tears.end(), edges[i].from);
        int k = static_cast<int>(it - plan.tears.begin());
        if (it == plan.tears.end()) plan.tears.push_back(edges[i].from);
        plan.torn_inputs.emplace_back(edges[i].to, k);
    }
    return plan;
}

}  // namespace

ExecutionPlan make_execution_plan(int num_blocks, const std::vector<FeedthroughEdge>& edges)
{
    std::vector<int> nodes(static_cast<std::size_t>(num_blocks));
    for (int i = 0; i < num_blocks; ++i) nodes[i] = i;
    std::vector<std::pair<int, int>> block_edges;
    for (const auto& e : edges) block_edges.emplace_back(e.from.block, e.to.block);

    ExecutionPlan plan;
    for (const auto& comp : strongly_connected(nodes, block_edges)) {
        if (!is_cyclic(comp, block_edges)) {
            plan.order.push_back({comp[0], -1});
            continue;
        }
        plan.order.push_back({-1, static_cast<int>(plan.loops.size())});
        plan.loops.push_back(tear_loop(comp, edges));
    }
    return plan;
}

}  // namespace cyclesim
