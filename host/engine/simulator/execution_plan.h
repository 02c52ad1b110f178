// Order of output evaluation and algebraic loops.
//
// Blocks are nodes; an edge runs from block A to block B when an input port of
// B that declares direct feedthrough reads an output element of A. Outputs
// must be computed in an order that respects every edge. The strongly
// connected components of this graph (Tarjan) are either single blocks, which
// take their place in the order, or algebraic loops: sets of blocks whose
// outputs depend on each other within one evaluation. Each loop is opened by
// tearing edges: the inputs at the torn edges read guessed values (the tear
// variables) instead of the outputs, the members can then be evaluated in a
// plain order, and a nonlinear solver makes each tear variable equal to the
// output it stands for.
#pragma once

#include <compare>
#include <string>
#include <vector>

namespace cyclesim {

struct ElementRef {
    int block = 0, port = 0, element = 0;
    auto operator<=>(const ElementRef&) const = default;
};

struct FeedthroughEdge {
    ElementRef from;  // output element
    ElementRef to;    // input element of a direct-feedthrough port
};

struct LoopPlan {
    std::vector<int> members;         // all blocks of the loop, in evaluation order once torn
    std::vector<ElementRef> tears;    // output elements replaced by tear variables
    // Input elements that read a tear variable: (input, index into tears).
    std::vector<std::pair<ElementRef, int>> torn_inputs;
};

struct ExecutionPlan {
    struct Item {
        int block = -1;  // a single block, or
        int loop = -1;   // an algebraic loop
    };
    std::vector<Item> order;
    std::vector<LoopPlan> loops;
};

ExecutionPlan make_execution_plan(int num_blocks, const std::vector<FeedthroughEdge>& edges);

}  // namespace cyclesim
