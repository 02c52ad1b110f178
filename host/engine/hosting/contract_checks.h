// The rules of the S-function interface that the block-diagram host holds
// blocks to and that a block could break without any visible effect in a
// lenient host: sample times written beyond the count the block set, and
// continuous states changed where the solver does not expect it (in a minor
// step, or in a major step without asking for a solver reset).
//
// Where a rule is broken the host reports it, naming block, callback and
// what was violated. Reports go to the policy's sink (the run log and the
// console during `cyclesim run`, standard error otherwise); a strict policy
// (`cyclesim run --strict`, and the tests) also stops the run with the
// report as its error.
#pragma once

#include <functional>
#include <set>
#include <string>

namespace cyclesim {

struct ContractPolicy {
    bool strict = false;
    std::function<void(const std::string&)> sink;  // empty: standard error
};

// Installs a policy for its lifetime (the previous one comes back after).
class ScopedContractPolicy {
public:
    explicit ScopedContractPolicy(ContractPolicy policy);
    ~ScopedContractPolicy();
    ScopedContractPolicy(const ScopedContractPolicy&) = delete;
    ScopedContractPolicy& operator=(const ScopedContractPolicy&) = delete;

private:
    ContractPolicy previous_;
    std::set<std::string> previous_seen_;
};

// Reports a broken rule. Each (block, callback, rule) is reported once per
// policy; under a strict policy it throws SimulationError with the report.
void report_contract_violation(const std::string& block, const std::string& sfunction, const char* callback,
                               const std::string& rule_key, const std::string& what);

}  // namespace cyclesim
