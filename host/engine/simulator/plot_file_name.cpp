#include "plot_file_name.h"

namespace cyclesim {

std::string plot_file_name_problem(const std::string& name)
{
    const std::string ending = ".png";
    if (name.size() > 200) return "a plot file name has at most 200 characters";
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
        return "a plot file is a plain name inside the run directory, without '/' or '\\'";
    if (name.empty() || name.front() == '.') return "a plot file name may not be empty or start with '.'";
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) return "a plot file name may not hold control characters";
    }
    if (name.size() <= ending.size() || name.compare(name.size() - ending.size(), ending.size(), ending) != 0)
        return "a plot file name ends in \".png\"";
    return {};
}

}  // namespace cyclesim
