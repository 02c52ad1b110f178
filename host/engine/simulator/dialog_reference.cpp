#include "dialog_reference.h"

#include <cmath>
#include <sstream>
#include <vector>

#include "errors.h"

namespace cyclesim {
namespace {

[[noreturn]] void refuse(const std::string& where, const std::string& reference, const std::string& why)
{
    throw SimulationError(where + ": \"" + reference + "\": " + why);
}

std::vector<std::string> parts_of(const std::string& text)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) parts.push_back(part);
    if (!text.empty() && text.back() == '.') parts.emplace_back();
    return parts;
}

}  // namespace

double dialog_number(const nlohmann::json& document, const std::string& reference, const std::string& where)
{
    const auto parts = parts_of(reference);
    if (parts.size() < 2 || parts.size() > 3)
        refuse(where, reference, "expected a number or BLOCK.PARAM[.FIELD] naming one");
    const nlohmann::json* block = nullptr;
    if (document.contains("blocks") && document["blocks"].is_array())
        for (const auto& b : document["blocks"])
            if (b.is_object() && b.value("name", "") == parts[0]) block = &b;
    if (!block) refuse(where, reference, "no block named '" + parts[0] + "'");

    const nlohmann::json* value = nullptr;
    if (block->contains("params")) {
        const auto& params = (*block)["params"];
        // Digits only, as --set reads PARAM: "+4", " 4" or "4e0" are not
        // positions here either.
        const bool digits = !parts[1].empty() && parts[1].size() <= 6 &&
                            parts[1].find_first_not_of("0123456789") == std::string::npos;
        const long position = digits ? std::stol(parts[1]) : 0;
        if (!digits || !params.is_array() || position < 1 ||
            position > static_cast<long>(params.size()))
            refuse(where, reference, "block '" + parts[0] + "' has no dialog parameter " + parts[1] +
                                         " (PARAM is the 1-based position)");
        value = &params[position - 1];
        if (parts.size() == 3) {
            if (!value->is_object() || !value->contains(parts[2]))
                refuse(where, reference, "dialog parameter " + parts[1] + " has no field \"" + parts[2] + "\"");
            value = &(*value)[parts[2]];
        }
    } else {
        if (parts.size() == 3) refuse(where, reference, "block '" + parts[0] + "' has settings, not records");
        if (!block->contains(parts[1])) refuse(where, reference, "block '" + parts[0] + "' has no setting \"" + parts[1] + "\"");
        value = &(*block)[parts[1]];
    }
    if (!value->is_number() || !std::isfinite(value->get<double>()))
        refuse(where, reference, "names " + value->dump() + ", not a finite number");
    return value->get<double>();
}

}  // namespace cyclesim
