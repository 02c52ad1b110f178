#include "mat_names.h"

#include <set>

namespace cyclesim {

namespace {

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string mat_identifier(const std::string& name)
{
    std::string out;
    out.reserve(name.size() + 1);
    for (char c : name) out += (is_letter(c) || is_digit(c) || c == '_') ? c : '_';
    if (out.empty() || !is_letter(out[0])) out.insert(out.begin(), 'x');
    if (out.size() > kMatNameMax) out.resize(kMatNameMax);
    return out;
}

std::vector<std::string> mat_identifiers(const std::vector<std::string>& names,
                                         const std::vector<std::string>& reserved)
{
    std::set<std::string> taken(reserved.begin(), reserved.end());
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const auto& name : names) {
        const std::string base = mat_identifier(name);
        std::string id = base;
        for (int n = 2; taken.count(id); ++n) {
            std::string suffix(1, '_');
            suffix += std::to_string(n);
            id = base.substr(0, kMatNameMax - suffix.size()) + suffix;
        }
        taken.insert(id);
        out.push_back(id);
    }
    return out;
}

}  // namespace cyclesim
