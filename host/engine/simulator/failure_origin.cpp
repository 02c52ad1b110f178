// Where a stop began. A block that refuses its inputs is rarely where the
// trouble started: a condenser refuses a wet inlet because the compressor
// discharged wet vapour, because the evaporator flooded when the speed
// dropped. So a failure message is followed by the logged signals of the
// block it names and of the blocks that feed it, directly or through one
// more block, as they stood at the last evaluation, grouped by block and
// upstream first: the suction superheat, the evaporator's regime, the speed,
// whatever the model logs there.
#include "simulation_impl.h"

#include "number_text.h"

#include <map>

namespace cyclesim {

namespace {

// The first "block 'NAME'" of a message that names a block of the model.
int named_block(const std::string& message, const std::vector<std::unique_ptr<SimBlock>>& blocks)
{
    const std::string tag = "block '";
    for (std::size_t at = message.find(tag); at != std::string::npos; at = message.find(tag, at + 1)) {
        const std::size_t begin = at + tag.size();
        const std::size_t end = message.find('\'', begin);
        if (end == std::string::npos) break;
        const std::string name = message.substr(begin, end - begin);
        for (std::size_t b = 0; b < blocks.size(); ++b)
            if (blocks[b]->name() == name) return static_cast<int>(b);
    }
    return -1;
}

}  // namespace

std::string Simulation::Impl::failure_origin(const std::string& message) const
{
    const int failed = named_block(message, blocks);
    if (failed < 0 || model.log.empty()) return {};

    // Distance upstream from the failing block: 0 itself, 1 its sources, 2 theirs.
    std::map<int, int> distance{{failed, 0}};
    std::vector<int> frontier{failed};
    for (int d = 1; d <= 2; ++d) {
        std::vector<int> next;
        for (int b : frontier)
            for (const auto& port : sources[b])
                for (const ElementRef& s : port)
                    if (s.block >= 0 && distance.emplace(s.block, d).second) next.push_back(s.block);
        frontier = std::move(next);
    }

    // Grouped by block, the upstream ones first (the refusing block's own
    // state is mostly in its message already).
    constexpr std::size_t kMostSignals = 32;
    std::string text;
    std::size_t listed = 0;
    for (int d : {1, 2, 0})
        for (const auto& [b, distance_b] : distance) {
            if (distance_b != d) continue;
            std::string group;
            for (std::size_t i = 0; i < model.log.size() && listed < kMostSignals; ++i) {
                if (block_index_or_none(model.log[i].signal.block) != b) continue;
                const LogSpec& l = model.log[i];
                group += (group.empty() ? "" : ", ") + l.name + " = " + number_text(*logged[i]) +
                         (l.unit.empty() || l.unit == "-" ? "" : " " + l.unit);
                ++listed;
            }
            if (!group.empty()) text += (text.empty() ? "" : "; ") + blocks[b]->name() + " (" + group + ")";
        }
    if (text.empty()) return {};
    return "where it began: the logged state upstream of '" + blocks[failed]->name() +
           "' at the last evaluation: " + text;
}

int Simulation::Impl::block_index_or_none(const std::string& name) const
{
    for (std::size_t b = 0; b < blocks.size(); ++b)
        if (blocks[b]->name() == name) return static_cast<int>(b);
    return -1;
}

}  // namespace cyclesim
