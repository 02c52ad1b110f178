#include "contract_checks.h"

#include "errors.h"

#include <cstdio>

namespace cyclesim {

namespace {
ContractPolicy current_policy;
std::set<std::string> reported;  // keys already reported under the current policy
}  // namespace

ScopedContractPolicy::ScopedContractPolicy(ContractPolicy policy)
    : previous_(std::move(current_policy)), previous_seen_(std::move(reported))
{
    current_policy = std::move(policy);
    reported.clear();
}

ScopedContractPolicy::~ScopedContractPolicy()
{
    current_policy = std::move(previous_);
    reported = std::move(previous_seen_);
}

void report_contract_violation(const std::string& block, const std::string& sfunction, const char* callback,
                               const std::string& rule_key, const std::string& what)
{
    const std::string text = "S-function contract: block '" + block + "' (S-function " + sfunction + ") in " +
                             callback + ": " + what;
    if (current_policy.strict) throw SimulationError(text);
    if (!reported.insert(block + '\n' + callback + '\n' + rule_key).second) return;
    if (current_policy.sink)
        current_policy.sink(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace cyclesim
