#include "json_numbers.h"

#include "errors.h"

#include <cmath>
#include <limits>

namespace cyclesim {

nlohmann::json number_to_json(double v)
{
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    return v;
}

nlohmann::json numbers_to_json(std::span<const double> values)
{
    auto out = nlohmann::json::array();
    for (double v : values) out.push_back(number_to_json(v));
    return out;
}

double number_from_json(const nlohmann::json& v, const std::string& where)
{
    if (v.is_number()) return v.get<double>();
    if (v.is_string()) {
        const auto& s = v.get_ref<const std::string&>();
        if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
        if (s == "Infinity") return std::numeric_limits<double>::infinity();
        if (s == "-Infinity") return -std::numeric_limits<double>::infinity();
    }
    throw SimulationError(where + ": expected a number, got " + v.dump());
}

std::vector<double> numbers_from_json(const nlohmann::json& v, const std::string& where)
{
    if (!v.is_array()) throw SimulationError(where + ": expected an array of numbers");
    std::vector<double> out;
    for (std::size_t i = 0; i < v.size(); ++i)
        out.push_back(number_from_json(v[i], where + " element " + std::to_string(i)));
    return out;
}

}  // namespace cyclesim
