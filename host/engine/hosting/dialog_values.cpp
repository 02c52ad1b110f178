#include "dialog_values.h"

#include "errors.h"

namespace cyclesim {

namespace {

MxPtr numbers_to_row(const nlohmann::json& array, const std::string& where)
{
    MxPtr out(mxCreateDoubleMatrix(array.empty() ? 0 : 1, array.size(), mxREAL));
    double* data = mxGetPr(out.get());
    std::size_t i = 0;
    for (const auto& v : array) {
        if (!v.is_number())
            throw SimulationError(where + ": arrays may hold numbers only (element " +
                                  std::to_string(i) + " is " + v.type_name() + ")");
        data[i++] = v.get<double>();
    }
    return out;
}

}  // namespace

MxPtr dialog_value_from_json(const nlohmann::json& value, const std::string& where)
{
    if (value.is_number()) return MxPtr(mxCreateDoubleScalar(value.get<double>()));
    if (value.is_string()) {
        // A block reads its texts as C strings: a NUL inside one would cut
        // it silently ("R134a\u0000junk" read as R134a), so it is refused.
        const std::string& text = value.get_ref<const std::string&>();
        if (const auto nul = text.find('\0'); nul != std::string::npos)
            throw SimulationError(where + ": text holds a NUL character at position " + std::to_string(nul));
        return MxPtr(mxCreateString(text.c_str()));
    }
    if (value.is_array()) return numbers_to_row(value, where);
    if (value.is_object()) {
        std::vector<std::string> names;
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (it.key().find('\0') != std::string::npos)
                throw SimulationError(where + ": a field name holds a NUL character");
            names.push_back(it.key());
        }
        std::vector<const char*> cnames;
        for (const auto& n : names) cnames.push_back(n.c_str());
        MxPtr s(mxCreateStructMatrix(1, 1, static_cast<int>(cnames.size()), cnames.data()));
        for (auto it = value.begin(); it != value.end(); ++it) {
            MxPtr field = dialog_value_from_json(it.value(), where + " field \"" + it.key() + "\"");
            mxSetField(s.get(), 0, it.key().c_str(), field.release());
        }
        return s;
    }
    throw SimulationError(where + ": a dialog value must be a number, text, an array of numbers or "
                                  "a record, not " +
                          std::string(value.type_name()));
}

std::vector<MxPtr> dialog_from_json(const nlohmann::json& params, const std::string& block)
{
    if (!params.is_array())
        throw SimulationError(block + ": the dialog parameters must be a JSON array in dialog order");
    std::vector<MxPtr> out;
    for (std::size_t i = 0; i < params.size(); ++i)
        out.push_back(dialog_value_from_json(params[i], block + ": parameter " + std::to_string(i + 1)));
    return out;
}

}  // namespace cyclesim
