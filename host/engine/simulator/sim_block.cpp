#include "sim_block.h"

#include "errors.h"

#include <cstdio>

namespace cyclesim {

SFunctionBlock::SFunctionBlock(std::shared_ptr<Plugin> plugin, const std::string& name, std::vector<MxPtr> params)
    : SimBlock(name), instance_(std::move(plugin), name, std::move(params))
{
}

void SFunctionBlock::setup()
{
    instance_.initialize_sizes();
    instance_.initialize_sample_times();
    // The simulator is a variable-step host for continuous blocks: a block
    // runs at every major and minor step. Discrete rates would need sample
    // hits it does not schedule, so they are refused rather than ignored. A
    // block that sets no sample times inherits its rate: it runs at every step.
    int n = instance_.num_sample_times();
    if (n < 0 || n > SFUN_MAX_SAMPLE_TIMES)
        throw SimulationError("block '" + name() + "': invalid number of sample times " + std::to_string(n));
    for (int i = 0; i < n; ++i) {
        double ts = instance_.sample_time(i), offset = instance_.offset_time(i);
        bool continuous = ts == CONTINUOUS_SAMPLE_TIME && (offset == 0.0 || offset == FIXED_IN_MINOR_STEP_OFFSET);
        bool inherited = ts == INHERITED_SAMPLE_TIME;
        if (!continuous && !inherited) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "sample time %d is [%g, %g]; only continuous [0, 0] and inherited [-1, 0] "
                          "rates are supported", i, ts, offset);
            throw SimulationError("block '" + name() + "' (" + kind() + "): " + buf);
        }
    }
}

void SFunctionBlock::start()
{
    instance_.start();
    instance_.initialize_conditions();
}

}  // namespace cyclesim
