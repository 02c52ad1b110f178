#include "model_description.h"

#include "fmu_layout.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace cyclesim::fmu {

namespace {

std::string xml_text(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') out += ' ';
            else out += c;
        }
    }
    return out;
}

// The shortest text that reads back as the same double.
std::string real_text(double v)
{
    char buf[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

std::string attribute(const char* name, const std::string& value)
{
    return std::string(" ") + name + "=\"" + xml_text(value) + "\"";
}

}  // namespace

std::string model_identifier(const std::string& model_name)
{
    std::string id;
    for (char c : model_name)
        id += ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') ? c : '_';
    if (id.empty() || (id[0] >= '0' && id[0] <= '9')) id = "_" + id;
    return id;
}

std::string guid_of(const std::string& text)
{
    // Two 64-bit FNV-1a hashes from different offsets: 128 bits, written as
    // a guid.
    std::uint64_t h[2] = {14695981039346656037ull, 0x84222325cbf29ce4ull};
    for (auto& x : h)
        for (unsigned char c : text) {
            x ^= c;
            x *= 1099511628211ull;
        }
    char buf[48];
    std::snprintf(buf, sizeof buf, "{%08llx-%04llx-%04llx-%04llx-%012llx}",
                  static_cast<unsigned long long>(h[0] >> 32), static_cast<unsigned long long>((h[0] >> 16) & 0xffff),
                  static_cast<unsigned long long>(h[0] & 0xffff), static_cast<unsigned long long>(h[1] >> 48),
                  static_cast<unsigned long long>(h[1] & 0xffffffffffffull));
    return buf;
}

std::string model_description(const ModelSpec& model, const DescriptionInfo& info)
{
    const InterfaceSpec& iface = model.interface;
    const SolverSpec& sv = model.solver;
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += "<fmiModelDescription fmiVersion=\"2.0\"" + attribute("modelName", model.name) +
         attribute("guid", info.guid) +
         attribute("description", "refrigeration-cycle model " + model.name + ", exported by " + info.generation_tool) +
         attribute("generationTool", info.generation_tool) + attribute("generationDateAndTime", info.generated_at) +
         " variableNamingConvention=\"flat\" numberOfEventIndicators=\"0\">\n";
    // Flags: variable communication steps (the integrator's steps are its
    // own); one instance per process (the blocks' globals); no state
    // save/restore, no derivatives of outputs, no interpolation of inputs.
    x += "  <CoSimulation" + attribute("modelIdentifier", info.model_identifier) +
         " needsExecutionTool=\"false\" canHandleVariableCommunicationStepSize=\"true\""
         " canInterpolateInputs=\"false\" maxOutputDerivativeOrder=\"0\" canRunAsynchronuously=\"false\""
         " canBeInstantiatedOnlyOncePerProcess=\"true\" canNotUseMemoryManagementFunctions=\"true\""
         " canGetAndSetFMUstate=\"false\" canSerializeFMUstate=\"false\" providesDirectionalDerivative=\"false\"/>\n";
    std::set<std::string> units;
    for (const auto& v : iface.parameters) units.insert(v.unit);
    for (const auto& v : iface.inputs) units.insert(v.unit);
    for (const auto& v : iface.outputs) units.insert(v.unit);
    if (!units.empty()) {
        x += "  <UnitDefinitions>\n";
        for (const auto& u : units) x += "    <Unit" + attribute("name", u) + "/>\n";
        x += "  </UnitDefinitions>\n";
    }
    x += "  <LogCategories>\n";
    for (const char* c : {"logStatusWarning", "logStatusDiscard", "logStatusError", "logStatusFatal"})
        x += "    <Category" + attribute("name", c) + "/>\n";
    x += "  </LogCategories>\n";
    x += "  <DefaultExperiment" + attribute("startTime", real_text(sv.start_time)) +
         attribute("stopTime", real_text(sv.stop_time)) + attribute("tolerance", real_text(sv.rtol));
    if (sv.output_interval > 0) x += attribute("stepSize", real_text(sv.output_interval));
    x += "/>\n";

    x += "  <ModelVariables>\n";
    std::size_t reference = 0;
    auto variable = [&](const InterfaceVariable& v, const char* causality, const char* variability,
                        const char* initial, bool with_start) {
        x += "    <ScalarVariable" + attribute("name", v.name) + attribute("valueReference", std::to_string(reference++));
        if (!v.description.empty()) x += attribute("description", v.description);
        x += attribute("causality", causality) + attribute("variability", variability);
        if (initial) x += attribute("initial", initial);
        x += ">\n      <Real" + attribute("unit", v.unit);
        if (with_start) x += attribute("start", real_text(v.start));
        x += "/>\n    </ScalarVariable>\n";
    };
    for (const auto& v : iface.parameters) variable(v, "parameter", "fixed", "exact", true);
    for (const auto& v : iface.inputs) variable(v, "input", "continuous", nullptr, true);
    for (const auto& v : iface.outputs) variable(v, "output", "continuous", "calculated", false);
    x += "  </ModelVariables>\n";

    x += "  <ModelStructure>\n";
    if (!iface.outputs.empty()) {
        // Indices count the variables above from 1.
        const std::size_t first = iface.parameters.size() + iface.inputs.size() + 1;
        std::string unknowns;
        for (std::size_t i = 0; i < iface.outputs.size(); ++i)
            unknowns += "      <Unknown" + attribute("index", std::to_string(first + i)) + "/>\n";
        x += "    <Outputs>\n" + unknowns + "    </Outputs>\n";
        x += "    <InitialUnknowns>\n" + unknowns + "    </InitialUnknowns>\n";
    }
    x += "  </ModelStructure>\n";
    x += "</fmiModelDescription>\n";
    return x;
}

}  // namespace cyclesim::fmu
