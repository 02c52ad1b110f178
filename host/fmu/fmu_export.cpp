#include "fmu_export.h"

#include "bounded_file.h"
#include "child_process.h"
#include "errors.h"
#include "fmu_layout.h"
#include "model_description.h"
#include "model_file.h"
#include "plugin_library.h"
#include "simulation.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>

namespace cyclesim::fmu {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kModelTextLimit = 64u << 20;

void write_text(const fs::path& file, const std::string& text)
{
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out) throw SimulationError("cannot write " + file.string());
}

void copy_into(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    if (!fs::is_regular_file(from, ec)) throw SimulationError("cannot find " + from.string());
    fs::create_directories(to.parent_path(), ec);
    // Links are followed: the FMU holds the files themselves.
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) throw SimulationError("cannot copy " + from.string() + " to " + to.string() + ": " + ec.message());
}

std::string utc_now()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

// A staging folder removed however the export ends.
class StagingFolder {
public:
    StagingFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "cyclesim-fmu-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw SimulationError("cannot create a staging folder in " + fs::temp_directory_path().string());
        path_ = pattern;
    }
    ~StagingFolder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

}  // namespace

fs::path default_binary_dir()
{
    std::error_code ec;
    auto self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path().parent_path() / "fmu" / "linux64";
    return fs::path("fmu") / "linux64";
}

ExportResult export_fmu(const ExportOptions& options)
{
    const std::string text = read_bounded_file(options.model, kModelTextLimit, "model file");
    const ModelSpec model = load_model(options.model);
    const InterfaceSpec& iface = model.interface;
    if (iface.outputs.empty())
        throw SimulationError(options.model.string() +
                              ": no \"interface\" outputs: an FMU shows its importer only what the interface "
                              "declares (see the README, \"Using a model in other tools\")");
    // What the model reads from other files would not travel with it.
    for (const auto& b : model.blocks)
        if (b.settings.is_object() && b.settings.contains("file"))
            throw SimulationError(b.where + ": block '" + b.name +
                                  "' reads a file; the FMU carries the model file only: give the table inline");
    // The model must build as it will in the FMU: blocks, wiring, signals.
    PluginRegistry registry(options.blocks_dir);
    { Simulation check(model, registry); }

    ExportResult result;
    result.model_identifier = model_identifier(model.name);
    result.parameters = iface.parameters.size();
    result.inputs = iface.inputs.size();
    result.outputs = iface.outputs.size();
    DescriptionInfo info;
    info.model_identifier = result.model_identifier;
    info.guid = guid_of(options.tool + "\n" + text);
    info.generation_tool = options.tool;
    info.generated_at = utc_now();

    StagingFolder staging;
    const fs::path& root = staging.path();
    write_text(root / "modelDescription.xml", model_description(model, info));
    const fs::path binaries = root / kPlatformFolder;
    copy_into(options.binary_dir / "cyclesim_fmu.so", binaries / (result.model_identifier + ".so"));
    copy_into(options.binary_dir / "libsfunrt.so", binaries / "libsfunrt.so");
    const fs::path resources = root / "resources";
    write_text(resources / kModelFile, text);
    write_text(resources / kGuidFile, info.guid + "\n");
    std::set<std::string> sfunctions;
    for (const auto& b : model.blocks)
        if (b.type == "sfunction") sfunctions.insert(b.settings.value("sfunction", ""));
    for (const auto& name : sfunctions)
        copy_into(options.blocks_dir / (name + ".so"), resources / kBlocksFolder / (name + ".so"));
    copy_into(options.property_library, resources / kPropertyLibrary);

    // Packed with Info-ZIP's zip; a previous file of that name is replaced
    // only once the new one is complete.
    const fs::path output = fs::absolute(options.output);
    fs::path partial = output;
    partial += ".part";
    std::error_code ec;
    fs::create_directories(output.parent_path(), ec);
    fs::remove(partial, ec);
    ProcessResult zip =
        run_process({"zip", "-q", "-r", "-X", partial.string(), "modelDescription.xml", "binaries", "resources"}, root);
    if (zip.exit_code != 0) {
        fs::remove(partial, ec);
        throw SimulationError("zip failed (exit " + std::to_string(zip.exit_code) + "): " + zip.err);
    }
    fs::rename(partial, output, ec);
    if (ec) {
        fs::remove(partial, ec);
        throw SimulationError("cannot write " + output.string() + ": " + ec.message());
    }
    result.bytes = fs::file_size(output, ec);
    return result;
}

}  // namespace cyclesim::fmu
