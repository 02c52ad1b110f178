// Fuzz target: the model-file reader as `check` and `run` use it, with up to
// three --set assignments taken from the front of the input and the rest as
// the model file's text (loop guesses included). A bad model must end in a
// SimulationError, the one kind of failure that reaches the user as a
// message; any other exception, crash or sanitizer report is a finding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "errors.h"
#include "json_depth.h"
#include "model_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    cyclesim::ModelOverrides overrides;
    const int sets = in.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < sets; ++i) overrides.sets.push_back(in.ConsumeRandomLengthString(200));
    const std::string text = in.ConsumeRemainingBytesAsString();
    try {
        // The same steps as load_model, without the file.
        cyclesim::check_json_depth(text, "fuzz.json");
        nlohmann::json doc = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
        if (doc.is_discarded()) return 0;
        cyclesim::parse_model(std::move(doc), "fuzz.json", overrides);
    } catch (const cyclesim::SimulationError&) {
        // a refused model: the expected outcome of most inputs
    }
    return 0;
}
