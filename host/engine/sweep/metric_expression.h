// Arithmetic over a run's final values: a derived metric of a sweep, such as
// a closing energy balance (Q_cond - Q_evap - m_refr * (h_discharge -
// h_suction)) / Q_cond. Numbers, names of final values, + - * /, unary minus
// and parentheses; nothing else (no functions, no assignments).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace cyclesim {

class MetricExpression {
public:
    // Throws SimulationError naming `where` and the position of a syntax error.
    MetricExpression(const std::string& text, const std::string& where);
    ~MetricExpression();
    MetricExpression(MetricExpression&&) noexcept;
    MetricExpression& operator=(MetricExpression&&) noexcept;

    // The names the expression reads.
    const std::vector<std::string>& names() const { return names_; }
    // NaN when a name has no value.
    double evaluate(const std::map<std::string, double>& values) const;

    struct Node;

private:
    std::unique_ptr<Node> root_;
    std::vector<std::string> names_;
};

}  // namespace cyclesim
