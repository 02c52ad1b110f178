// Feedback in a model's wiring, whether or not it makes an algebraic loop.
//
// Blocks are nodes and every connection is an edge, feedthrough or not. A
// strongly connected component of more than one block, or a block wired to
// itself, is a feedback loop. It is an algebraic loop only where every edge
// around it enters a port with direct feedthrough; a block in it that reads
// its loop inputs without direct feedthrough (an integrator, a lag, a
// memory, a block with states) breaks it: its outputs at a time do not
// depend on its inputs at that time.
#pragma once

#include <vector>

namespace cyclesim {

struct WireEdge {
    int from = 0, to = 0;        // blocks
    bool feedthrough = false;    // the input port of `to` passes its value through at once
};

struct FeedbackLoop {
    std::vector<int> members;    // blocks of the loop, in ascending order
    std::vector<int> breakers;   // members whose inputs from the loop have no direct feedthrough
};

std::vector<FeedbackLoop> find_feedback_loops(int num_blocks, const std::vector<WireEdge>& edges);

}  // namespace cyclesim
