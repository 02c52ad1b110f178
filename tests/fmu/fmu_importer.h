// A small FMI 2.0 co-simulation importer for the tests: it takes an FMU as
// any importer does (unzipped into a folder of its own, the binary loaded
// from binaries/linux64/, the functions looked up by name, the variables
// read from modelDescription.xml) and links nothing of the project.
#pragma once

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <cctype>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fmi2_functions.h"

namespace fmutest {

namespace fs = std::filesystem;

// Every message the FMU sends, in order.
struct LoggedMessage {
    fmi2Status status;
    std::string category, text;
};
inline std::vector<LoggedMessage>& messages()
{
    static std::vector<LoggedMessage> all;
    return all;
}

extern "C" inline void record_message(fmi2ComponentEnvironment, fmi2String, fmi2Status status, fmi2String category,
                                      fmi2String message, ...)
{
    char buf[4096];
    va_list args;
    va_start(args, message);
    std::vsnprintf(buf, sizeof buf, message, args);
    va_end(args);
    messages().push_back({status, category ? category : "", buf});
}

inline std::string all_messages()
{
    std::string out;
    for (const auto& m : messages()) out += "[" + m.category + "] " + m.text + "\n";
    return out;
}

inline std::string read_file(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The value of attribute `name` in an element's text, or empty.
inline std::string attribute(const std::string& element, const std::string& name)
{
    const std::string key = name + "=\"";
    for (std::size_t at = element.find(key); at != std::string::npos; at = element.find(key, at + 1)) {
        if (at == 0 || !std::isspace(static_cast<unsigned char>(element[at - 1]))) continue;
        const std::size_t from = at + key.size(), to = element.find('"', from);
        return to == std::string::npos ? std::string() : element.substr(from, to - from);
    }
    return {};
}

// The text of the first element `tag` from `from` on, up to its '>'; empty
// when there is none. `from` moves past it.
inline std::string next_element(const std::string& xml, const std::string& tag, std::size_t& from)
{
    const std::size_t at = xml.find("<" + tag, from);
    if (at == std::string::npos) return {};
    const std::size_t end = xml.find('>', at);
    if (end == std::string::npos) return {};
    from = end + 1;
    return xml.substr(at, end + 1 - at);
}

struct Variable {
    std::string name, causality, variability, unit, start, description;
    unsigned reference = 0;
    std::string value_reference_text;
};

class Fmu {
public:
    // Unzips `fmu` into `folder` (created empty) and loads its binary.
    Fmu(const fs::path& fmu, const fs::path& folder) : folder_(folder)
    {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        const std::string command = "unzip -q -o '" + fmu.string() + "' -d '" + folder_.string() + "'";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot unzip " + fmu.string());
        description_ = read_file(folder_ / "modelDescription.xml");
        std::size_t at = 0;
        cosimulation_ = next_element(description_, "CoSimulation", at);
        if (cosimulation_.empty()) throw std::runtime_error("no CoSimulation element");
        identifier_ = attribute(cosimulation_, "modelIdentifier");
        at = 0;
        guid_ = attribute(next_element(description_, "fmiModelDescription", at), "guid");
        at = 0;
        for (;;) {
            const std::string head = next_element(description_, "ScalarVariable", at);
            if (head.empty()) break;
            const std::string real = next_element(description_, "Real", at);
            Variable v;
            v.name = attribute(head, "name");
            v.causality = attribute(head, "causality");
            v.variability = attribute(head, "variability");
            v.description = attribute(head, "description");
            v.value_reference_text = attribute(head, "valueReference");
            v.reference = static_cast<unsigned>(std::stoul(v.value_reference_text.empty() ? "0" : v.value_reference_text));
            v.unit = attribute(real, "unit");
            v.start = attribute(real, "start");
            variables_.push_back(v);
        }
        const fs::path binary = folder_ / "binaries" / "linux64" / (identifier_ + ".so");
        handle_ = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) throw std::runtime_error(std::string("cannot load the FMU binary: ") + dlerror());
        bind(instantiate, "fmi2Instantiate");
        bind(free_instance, "fmi2FreeInstance");
        bind(setup_experiment, "fmi2SetupExperiment");
        bind(enter_initialization, "fmi2EnterInitializationMode");
        bind(exit_initialization, "fmi2ExitInitializationMode");
        bind(terminate, "fmi2Terminate");
        bind(reset, "fmi2Reset");
        bind(get_real, "fmi2GetReal");
        bind(set_real, "fmi2SetReal");
        bind(do_step, "fmi2DoStep");
        bind(get_boolean_status, "fmi2GetBooleanStatus");
        bind(get_version, "fmi2GetVersion");
    }
    ~Fmu()
    {
        if (handle_) dlclose(handle_);
    }
    Fmu(const Fmu&) = delete;
    Fmu& operator=(const Fmu&) = delete;

    const std::string& description() const { return description_; }
    const std::string& cosimulation() const { return cosimulation_; }
    const std::string& identifier() const { return identifier_; }
    const std::vector<Variable>& variables() const { return variables_; }
    fs::path resource_uri() const { return "file://" + fs::absolute(folder_ / "resources").string(); }
    fs::path folder() const { return folder_; }

    unsigned reference(const std::string& name) const
    {
        for (const auto& v : variables_)
            if (v.name == name) return v.reference;
        throw std::runtime_error("no variable " + name);
    }

    fmi2Component make(const char* name = "instance", bool logging = true)
    {
        callbacks_.logger = &record_message;
        callbacks_.allocateMemory = nullptr;
        callbacks_.freeMemory = nullptr;
        callbacks_.stepFinished = nullptr;
        callbacks_.componentEnvironment = nullptr;
        return instantiate(name, fmi2CoSimulation, guid_.c_str(), resource_uri().c_str(), &callbacks_, fmi2False,
                           logging ? fmi2True : fmi2False);
    }

    double real(fmi2Component c, const std::string& name)
    {
        const fmi2ValueReference vr = reference(name);
        double v = 0;
        if (get_real(c, &vr, 1, &v) != fmi2OK) throw std::runtime_error("fmi2GetReal of " + name + " failed");
        return v;
    }

    fmi2Status set(fmi2Component c, const std::string& name, double value)
    {
        const fmi2ValueReference vr = reference(name);
        return set_real(c, &vr, 1, &value);
    }

    decltype(&fmi2Instantiate) instantiate = nullptr;
    decltype(&fmi2FreeInstance) free_instance = nullptr;
    decltype(&fmi2SetupExperiment) setup_experiment = nullptr;
    decltype(&fmi2EnterInitializationMode) enter_initialization = nullptr;
    decltype(&fmi2ExitInitializationMode) exit_initialization = nullptr;
    decltype(&fmi2Terminate) terminate = nullptr;
    decltype(&fmi2Reset) reset = nullptr;
    decltype(&fmi2GetReal) get_real = nullptr;
    decltype(&fmi2SetReal) set_real = nullptr;
    decltype(&fmi2DoStep) do_step = nullptr;
    decltype(&fmi2GetBooleanStatus) get_boolean_status = nullptr;
    decltype(&fmi2GetVersion) get_version = nullptr;

private:
    template <class F>
    void bind(F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(handle_, name));
        if (!f) throw std::runtime_error(std::string("the FMU binary does not export ") + name);
    }

    fs::path folder_;
    std::string description_, cosimulation_, identifier_, guid_;
    std::vector<Variable> variables_;
    void* handle_ = nullptr;
    fmi2CallbackFunctions callbacks_{};
};

}  // namespace fmutest
