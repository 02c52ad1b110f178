// Fuzz target: one evaluation of a block, as `cyclesim eval` does it: the
// block (one of the four), its dialog parameters and its inputs from the
// input (JSON texts separated by a line break), the time from its last
// bytes. A block refusing its parameters or inputs ends in a
// SimulationError; a crash, a sanitizer report or any other exception is a
// finding. The blocks run in a temporary directory linking to our property
// library, as they do in a run.
#include <fuzzer/FuzzedDataProvider.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "errors.h"
#include "evaluate.h"
#include "json_depth.h"
#include "plugin_library.h"

namespace {

cyclesim::PluginRegistry* registry = nullptr;
const char* const kBlocks[] = {"Orvane", "Compressor", "Evaporator", "Condenser"};

nlohmann::json parse(const std::string& text)
{
    cyclesim::check_json_depth(text, "fuzz");
    return nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    namespace fs = std::filesystem;
    const fs::path build = CYCLESIM_FUZZ_BUILD_DIR;
    std::string dir = (fs::temp_directory_path() / "cyclesim-fuzz-XXXXXX").string();
    if (!::mkdtemp(dir.data())) std::abort();
    fs::create_directories(fs::path(dir) / "Tarvex_files");
    fs::create_symlink(build / "lib" / "libfluidprops.so", fs::path(dir) / "Tarvex_files" / "libCoolProp.so");
    fs::current_path(dir);
    registry = new cyclesim::PluginRegistry(build / "blocks");
    // libFuzzer keeps the coverage counters of every instrumented library it
    // has seen: a plug-in or property library unloaded after an evaluation
    // would leave it reading freed memory. So all stay loaded.
    static std::vector<std::shared_ptr<cyclesim::Plugin>> kept;
    for (const char* block : kBlocks) kept.push_back(registry->load(block));
    if (!::dlopen((build / "lib" / "libfluidprops.so").c_str(), RTLD_NOW | RTLD_NODELETE)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    cyclesim::EvaluationRequest request;
    request.block = in.PickValueInArray(kBlocks);
    request.time = in.ConsumeFloatingPoint<double>();
    request.update = in.ConsumeBool();
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const auto cut = rest.find('\n');
    try {
        request.params = parse(rest.substr(0, cut));
        request.inputs = parse(cut == std::string::npos ? std::string() : rest.substr(cut + 1));
        if (request.params.is_discarded() || request.inputs.is_discarded()) return 0;
        cyclesim::evaluate_block(*registry, request);
    } catch (const cyclesim::SimulationError&) {
        // a refused parameter or input: the expected outcome of most inputs
    }
    return 0;
}
