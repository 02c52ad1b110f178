#include "mat_results_writer.h"

#include "errors.h"
#include "run_directory.h"
#include "mat_names.h"

#include <matio.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace cyclesim {

namespace fs = std::filesystem;

namespace {

struct VarDeleter {
    void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using VarPtr = std::unique_ptr<matvar_t, VarDeleter>;

struct FileCloser {
    void operator()(mat_t* m) const { Mat_Close(m); }
};

// Columns are handed to matio without copying; the writer's vectors outlive
// the variables.
VarPtr column(const char* name, const std::vector<double>& values)
{
    size_t dims[2] = {values.size(), 1};
    return VarPtr(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, const_cast<double*>(values.data()),
                                MAT_F_DONT_COPY_DATA));
}

VarPtr scalar(const char* name, double value)
{
    size_t dims[2] = {1, 1};
    return VarPtr(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, &value, 0));
}

VarPtr text(const char* name, const std::string& value)
{
    size_t dims[2] = {value.empty() ? 0u : 1u, value.size()};
    // Empty text: nothing to copy; matio must not read from the pointer.
    static char none = 0;
    void* data = value.empty() ? &none : const_cast<char*>(value.data());
    return VarPtr(Mat_VarCreate(name, MAT_C_CHAR, MAT_T_UTF8, 2, dims, data, value.empty() ? MAT_F_DONT_COPY_DATA : 0));
}

VarPtr struct_of(const char* name, const std::vector<std::string>& fields, std::vector<VarPtr> values)
{
    std::vector<const char*> field_names;
    for (const auto& f : fields) field_names.push_back(f.c_str());
    size_t dims[2] = {1, 1};
    VarPtr s(Mat_VarCreateStruct(name, 2, dims, field_names.empty() ? nullptr : field_names.data(),
                                 static_cast<unsigned>(field_names.size())));
    if (!s) throw SimulationError("results.mat: cannot build the struct " + std::string(name));
    for (std::size_t i = 0; i < fields.size(); ++i)
        Mat_VarSetStructFieldByName(s.get(), fields[i].c_str(), 0, values[i].release());
    return s;
}

// A JSON value as the numerical environment would hold it: text as char,
// numbers as double, true/false as 1/0, a list of numbers as a column, other
// lists as a cell column, objects as structs (keys made identifiers).
VarPtr from_json(const char* name, const nlohmann::json& value)
{
    if (value.is_string()) return text(name, value.get<std::string>());
    if (value.is_boolean()) return scalar(name, value.get<bool>() ? 1.0 : 0.0);
    if (value.is_number()) return scalar(name, value.get<double>());
    if (value.is_object()) {
        std::vector<std::string> keys;
        for (auto it = value.begin(); it != value.end(); ++it) keys.push_back(it.key());
        std::vector<std::string> fields = mat_identifiers(keys);
        std::vector<VarPtr> values;
        for (std::size_t i = 0; i < keys.size(); ++i) values.push_back(from_json(fields[i].c_str(), value[keys[i]]));
        return struct_of(name, fields, std::move(values));
    }
    if (value.is_array()) {
        bool numbers = true;
        for (const auto& v : value) numbers = numbers && v.is_number();
        if (numbers && !value.empty()) {
            std::vector<double> values;
            for (const auto& v : value) values.push_back(v.get<double>());
            size_t dims[2] = {values.size(), 1};
            return VarPtr(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, values.data(), 0));
        }
        size_t dims[2] = {value.size(), 1};
        VarPtr cell(Mat_VarCreate(name, MAT_C_CELL, MAT_T_CELL, 2, dims, nullptr, 0));
        if (!cell) throw SimulationError("results.mat: cannot build the cell array " + std::string(name));
        int i = 0;
        for (const auto& v : value) Mat_VarSetCell(cell.get(), i++, from_json(nullptr, v).release());
        return cell;
    }
    size_t dims[2] = {0, 0};  // null: an empty matrix
    return VarPtr(Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, nullptr, MAT_F_DONT_COPY_DATA));
}

}  // namespace

MatResultsWriter::MatResultsWriter(const fs::path& file, const ResultColumns& columns, nlohmann::json summary)
    : file_(file), columns_(columns), fields_(mat_identifiers(columns.names)),
      signals_(columns.names.size()), summary_(std::move(summary))
{
    write_file();
}

void MatResultsWriter::row(double t, const std::vector<double>& values)
{
    time_.push_back(t);
    for (std::size_t i = 0; i < signals_.size(); ++i)
        signals_[i].push_back(i < values.size() ? values[i] : std::numeric_limits<double>::quiet_NaN());
    const auto now = std::chrono::steady_clock::now();
    if (now - last_write_ >= std::max<std::chrono::steady_clock::duration>(std::chrono::seconds(1), 5 * write_cost_))
        write_file();
}

void MatResultsWriter::finish(const nlohmann::json& summary)
{
    summary_ = summary;
    write_file();
}

void MatResultsWriter::write_file()
{
    const auto started = std::chrono::steady_clock::now();
    fs::path part = file_;
    part += ".part";
    unlink_if_symlink(part);
    {
        std::unique_ptr<mat_t, FileCloser> mat(
            Mat_CreateVer(part.c_str(), "cyclesim results, MATLAB 5.0 MAT-file", MAT_FT_MAT5));
        if (!mat) throw SimulationError("cannot write " + part.string());
        auto put = [&](VarPtr var, const char* what) {
            if (!var || Mat_VarWrite(mat.get(), var.get(), MAT_COMPRESSION_ZLIB) != 0)
                throw SimulationError("cannot write " + std::string(what) + " to " + part.string());
        };
        put(column("time", time_), "time");
        std::vector<VarPtr> signals, units, names;
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            signals.push_back(column(fields_[i].c_str(), signals_[i]));
            units.push_back(text(fields_[i].c_str(), i < columns_.units.size() ? columns_.units[i] : ""));
            names.push_back(text(fields_[i].c_str(), columns_.names[i]));
        }
        put(struct_of("signals", fields_, std::move(signals)), "signals");
        put(struct_of("units", fields_, std::move(units)), "units");
        put(struct_of("names", fields_, std::move(names)), "names");
        put(from_json("summary", summary_.is_object() ? summary_ : nlohmann::json::object()), "summary");
    }
    std::error_code ec;
    fs::rename(part, file_, ec);
    if (ec) throw SimulationError("cannot replace " + file_.string() + ": " + ec.message());
    last_write_ = std::chrono::steady_clock::now();
    write_cost_ = last_write_ - started;
}

}  // namespace cyclesim
