#include "mat_results_reader.h"

#include "errors.h"

#include <matio.h>

#include <limits>
#include <memory>

namespace cyclesim {

namespace {

struct VarDeleter {
    void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using VarPtr = std::unique_ptr<matvar_t, VarDeleter>;

struct FileCloser {
    void operator()(mat_t* m) const { Mat_Close(m); }
};

std::vector<double> doubles(const matvar_t* v, const std::string& what)
{
    if (!v || v->class_type != MAT_C_DOUBLE || v->rank != 2 || v->isComplex)
        throw SimulationError(what + " is not a real double array");
    const std::size_t n = v->dims[0] * v->dims[1];
    if (n > 0 && !v->data) throw SimulationError(what + " holds no data");
    const auto* p = static_cast<const double*>(v->data);
    return std::vector<double>(p, p + n);
}

std::string text(matvar_t* s, const char* field)
{
    if (!s) return {};
    matvar_t* v = Mat_VarGetStructFieldByName(s, field, 0);
    if (!v || v->class_type != MAT_C_CHAR || !v->data) return {};
    const std::size_t n = v->dims[0] * v->dims[1];
    // One row of text: stored as bytes (UTF-8) or 16-bit characters.
    if (v->data_type == MAT_T_UINT16 || v->data_type == MAT_T_UTF16) {
        std::string out;
        const auto* p = static_cast<const mat_uint16_t*>(v->data);
        for (std::size_t i = 0; i < n; ++i) out += static_cast<char>(p[i] < 128 ? p[i] : '?');
        return out;
    }
    return std::string(static_cast<const char*>(v->data), n);
}

}  // namespace

ResultsTable read_mat_results(const std::filesystem::path& file)
{
    const std::string where = file.string();
    std::unique_ptr<mat_t, FileCloser> mat(Mat_Open(file.c_str(), MAT_ACC_RDONLY));
    if (!mat) throw SimulationError("cannot read " + where + " as a MAT-file");
    VarPtr time(Mat_VarRead(mat.get(), "time"));
    VarPtr signals(Mat_VarRead(mat.get(), "signals"));
    VarPtr units(Mat_VarRead(mat.get(), "units"));
    VarPtr names(Mat_VarRead(mat.get(), "names"));
    if (!time || !signals || signals->class_type != MAT_C_STRUCT)
        throw SimulationError(where + ": no time and signals: not the results of a run");

    ResultsTable table;
    table.names.push_back("time");
    table.units.push_back("s");
    const std::vector<double> t = doubles(time.get(), where + ": time");
    table.rows.assign(t.size(), {});
    for (std::size_t r = 0; r < t.size(); ++r) table.rows[r].push_back(t[r]);

    const unsigned nfields = Mat_VarGetNumberOfFields(signals.get());
    char* const* fields = Mat_VarGetStructFieldnames(signals.get());
    for (unsigned f = 0; f < nfields; ++f) {
        const std::string field = fields[f];
        const std::vector<double> values =
            doubles(Mat_VarGetStructFieldByName(signals.get(), field.c_str(), 0), where + ": signals." + field);
        const std::string name = text(names.get(), field.c_str());
        table.names.push_back(name.empty() ? field : name);
        table.units.push_back(text(units.get(), field.c_str()));
        for (std::size_t r = 0; r < t.size(); ++r)
            table.rows[r].push_back(r < values.size() ? values[r] : std::numeric_limits<double>::quiet_NaN());
    }
    if (table.rows.empty()) throw SimulationError("plot: " + where + " holds no results");
    return table;
}

}  // namespace cyclesim
