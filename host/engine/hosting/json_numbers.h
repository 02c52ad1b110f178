// JSON numbers that may be non-finite: written as the strings "NaN",
// "Infinity", "-Infinity", read back from the same strings.
#pragma once

#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

nlohmann::json number_to_json(double v);
nlohmann::json numbers_to_json(std::span<const double> values);
// Accepts a number or one of the three strings; `where` names it in errors.
double number_from_json(const nlohmann::json& v, const std::string& where);
std::vector<double> numbers_from_json(const nlohmann::json& v, const std::string& where);

}  // namespace cyclesim
