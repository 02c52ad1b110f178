#include "name_suggestion.h"

#include <algorithm>
#include <set>

#include "matrix.h"

namespace cyclesim {

namespace {

std::size_t edit_distance(const std::string& a, const std::string& b)
{
    // One row of the classic table at a time.
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Texts in double quotes in a message.
std::vector<std::string> quoted_names(const std::string& message)
{
    std::vector<std::string> names;
    std::size_t pos = 0;
    while ((pos = message.find('"', pos)) != std::string::npos) {
        const std::size_t end = message.find('"', pos + 1);
        if (end == std::string::npos) break;
        if (end - pos - 1 <= 64) names.push_back(message.substr(pos + 1, end - pos - 1));
        pos = end + 1;
    }
    return names;
}

}  // namespace

std::string nearest_name(const std::string& typed, const std::vector<std::string>& candidates)
{
    if (typed.size() > 64) return {};
    std::string best;
    std::size_t best_distance = 3;
    for (const auto& c : candidates) {
        if (c == typed || c.size() > 64) continue;
        const std::size_t d = edit_distance(typed, c);
        if (d < best_distance && 2 * d < std::max(typed.size(), c.size())) {
            best = c;
            best_distance = d;
        }
    }
    return best;
}

std::string misspelt_field_hint(const std::string& message, const std::vector<MxPtr>& params)
{
    const std::vector<std::string> named = quoted_names(message);
    for (std::size_t p = 0; p < params.size(); ++p) {
        const mxArray* s = params[p].get();
        if (!s || !mxIsStruct(s)) continue;
        std::vector<std::string> fields;
        for (int f = 0; f < mxGetNumberOfFields(s); ++f)
            if (const char* n = mxGetFieldNameByNumber(s, f)) fields.emplace_back(n);
        const std::set<std::string> present(fields.begin(), fields.end());
        for (const auto& wanted : named) {
            if (wanted.empty() || present.count(wanted)) continue;
            const std::string typed = nearest_name(wanted, fields);
            if (!typed.empty())
                return " (dialog parameter " + std::to_string(p + 1) + " holds \"" + typed + "\": misspelt \"" +
                       wanted + "\"?)";
        }
    }
    return {};
}

}  // namespace cyclesim
