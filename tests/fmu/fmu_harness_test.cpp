// The exported controlled chiller taken as an importer takes it: unzipped,
// its binary loaded, the FMI functions called in the standard's order.
// CTest exports the FMU and runs `cyclesim run` of the same model first
// (fixtures); each test here is a process of its own, as the FMU allows one
// instance per process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include "fmu_importer.h"

namespace {

using namespace fmutest;
using json = nlohmann::json;

const fs::path kOut = FMU_TEST_DIR;
const fs::path kChillerFmu = kOut / "controlled_chiller.fmu";
const fs::path kChillerModel = fs::path(CYCLESIM_SOURCE_DIR) / "examples/controlled_chiller/controlled_chiller.json";
constexpr double kStop = 30.0;  // the run's stop time (CMakeLists.txt)
constexpr double kStep = 2.0;   // the model's output interval

// A folder of this test's own.
fs::path scratch(const std::string& name)
{
    const fs::path dir = kOut / "scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// results.csv of the reference run, by column name.
struct Results {
    std::vector<std::string> columns;
    std::vector<std::vector<double>> rows;
    int column(const std::string& name) const
    {
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i] == name) return static_cast<int>(i);
        return -1;
    }
    // The row logged at time t (rows are at the output interval).
    const std::vector<double>& at(double t) const
    {
        for (const auto& r : rows)
            if (std::fabs(r[0] - t) < 1e-9) return r;
        throw std::runtime_error("no row at t = " + std::to_string(t));
    }
};

Results reference_run()
{
    std::ifstream in(kOut / "run" / "results.csv");
    if (!in) throw std::runtime_error("no results.csv of the reference run");
    Results r;
    std::string line;
    std::getline(in, line);
    std::stringstream header(line);
    for (std::string cell; std::getline(header, cell, ',');)
        r.columns.push_back(cell.substr(0, cell.find(" [")));  // "p_cond [Pa]"
    while (std::getline(in, line)) {
        std::stringstream s(line);
        std::vector<double> row;
        for (std::string cell; std::getline(s, cell, ',');) row.push_back(std::stod(cell));
        r.rows.push_back(row);
    }
    return r;
}

std::vector<std::string> output_names(const Fmu& fmu)
{
    std::vector<std::string> out;
    for (const auto& v : fmu.variables())
        if (v.causality == "output") out.push_back(v.name);
    return out;
}

// Instantiated, experiment set up (start 0, stop kStop), initialised.
fmi2Component start(Fmu& fmu, bool stop_defined = true)
{
    messages().clear();
    fmi2Component c = fmu.make();
    if (!c) throw std::runtime_error("fmi2Instantiate failed: " + all_messages());
    EXPECT_EQ(fmu.setup_experiment(c, fmi2False, 0.0, 0.0, stop_defined ? fmi2True : fmi2False, kStop), fmi2OK);
    EXPECT_EQ(fmu.enter_initialization(c), fmi2OK);
    EXPECT_EQ(fmu.exit_initialization(c), fmi2OK) << all_messages();
    return c;
}

// Standard output and error sent to files while it lives, so that a test
// can see that the FMU wrote nothing there.
class ConsoleToFiles {
public:
    explicit ConsoleToFiles(const fs::path& dir) : out_(dir / "stdout.txt"), err_(dir / "stderr.txt")
    {
        std::fflush(stdout);
        std::fflush(stderr);
        saved_out_ = dup(1);
        saved_err_ = dup(2);
        const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        ::close(out);
        ::close(err);
    }
    ~ConsoleToFiles() { restore(); }
    ConsoleToFiles(const ConsoleToFiles&) = delete;
    ConsoleToFiles& operator=(const ConsoleToFiles&) = delete;
    void restore()
    {
        if (saved_out_ < 0) return;
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(saved_out_, 1);
        dup2(saved_err_, 2);
        ::close(saved_out_);
        ::close(saved_err_);
        saved_out_ = saved_err_ = -1;
    }
    std::string written() const { return read_file(out_) + read_file(err_); }

private:
    fs::path out_, err_;
    int saved_out_ = -1, saved_err_ = -1;
};

bool close(double a, double b, double relative) { return std::fabs(a - b) <= relative * std::max(std::fabs(a), std::fabs(b)) + 1e-12; }

TEST(FmuStructure, EveryInterfaceVariableOnceWithUniqueReferenceUnitAndCausality)
{
    Fmu fmu(kChillerFmu, scratch("structure"));
    std::ifstream in(kChillerModel);
    const json model = json::parse(in);
    const json& iface = model.at("interface");
    std::map<std::string, std::string> expected_causality;
    std::map<std::string, std::string> expected_unit;
    for (const auto& [list, causality] : {std::pair{"inputs", "input"}, {"outputs", "output"}, {"parameters", "parameter"}})
        for (const auto& e : iface.at(list)) {
            expected_causality[e.at("name")] = causality;
            expected_unit[e.at("name")] = e.at("unit");
        }
    ASSERT_EQ(fmu.variables().size(), expected_causality.size()) << fmu.description();

    std::set<unsigned> references;
    std::set<std::string> names;
    for (const auto& v : fmu.variables()) {
        SCOPED_TRACE(v.name);
        ASSERT_TRUE(expected_causality.count(v.name));
        EXPECT_TRUE(names.insert(v.name).second) << "declared twice";
        EXPECT_FALSE(v.value_reference_text.empty());
        EXPECT_TRUE(references.insert(v.reference).second) << "value reference " << v.reference << " used twice";
        EXPECT_EQ(v.causality, expected_causality[v.name]);
        EXPECT_EQ(v.unit, expected_unit[v.name]);
        EXPECT_NE(fmu.description().find("<Unit name=\"" + v.unit + "\"/>"), std::string::npos)
            << "unit " << v.unit << " not defined";
        // Inputs and parameters start where the model file has them; outputs
        // are computed.
        EXPECT_EQ(v.start.empty(), v.causality == "output");
    }
    auto start_of = [&](const std::string& name) {
        for (const auto& v : fmu.variables())
            if (v.name == name) return std::stod(v.start);
        return std::nan("");
    };
    const auto block = [&](const std::string& name) {
        for (const auto& b : model.at("blocks"))
            if (b.at("name") == name) return b;
        return json();
    };
    EXPECT_EQ(start_of("T_ambient"), block("ambient").at("value").get<double>());
    EXPECT_EQ(start_of("m_water"), block("water").at("value")[0].get<double>());
    EXPECT_EQ(start_of("T_water_setpoint"), block("water_setpoint").at("before").get<double>());
    EXPECT_EQ(start_of("C_eev"), block("valve").at("params")[0].at("C_eev").get<double>());

    EXPECT_EQ(fmu.identifier(), "controlled_chiller");
    EXPECT_EQ(attribute(fmu.cosimulation(), "canBeInstantiatedOnlyOncePerProcess"), "true");
    EXPECT_EQ(attribute(fmu.cosimulation(), "canGetAndSetFMUstate"), "false");
    EXPECT_STREQ(fmu.get_version(), "2.0");
    for (const char* plugin : {"Orvane", "Compressor", "Evaporator", "Condenser"})
        EXPECT_TRUE(fs::exists(fmu.folder() / "resources" / "blocks" / (std::string(plugin) + ".so"))) << plugin;
    EXPECT_TRUE(fs::exists(fmu.folder() / "resources" / "Tarvex_files" / "libCoolProp.so"));
}

TEST(FmuRun, OutputsAtCommunicationPointsMatchCyclesimRun)
{
    const Results ref = reference_run();
    Fmu fmu(kChillerFmu, scratch("match"));
    fmi2Component c = start(fmu);
    int compared = 0;
    for (int k = 0;; ++k) {
        const double t = k * kStep;
        const auto& row = ref.at(t);
        for (const auto& name : output_names(fmu)) {
            const int col = ref.column(name);
            if (col < 0) continue;
            ++compared;
            EXPECT_TRUE(close(fmu.real(c, name), row[col], 1e-6))
                << name << " at t = " << t << ": FMU " << fmu.real(c, name) << ", cyclesim run " << row[col];
        }
        if (t >= kStop - 1e-9) break;
        ASSERT_EQ(fmu.do_step(c, t, kStep, fmi2True), fmi2OK) << all_messages();
    }
    EXPECT_GE(compared, 16 * 10);  // ten outputs are logged by the model too, at 16 points
    EXPECT_EQ(fmu.terminate(c), fmi2OK);
    fmu.free_instance(c);
}

TEST(FmuRun, AmbientStepBetweenStepsRaisesTheCondensingPressure)
{
    const Results ref = reference_run();
    const int p_cond = ref.column("p_cond");
    ASSERT_GE(p_cond, 0);
    Fmu fmu(kChillerFmu, scratch("ambient"));
    fmi2Component c = start(fmu);
    const double ambient = fmu.real(c, "T_ambient");
    double t = 0;
    for (; t < 10 - 1e-9; t += kStep) ASSERT_EQ(fmu.do_step(c, t, kStep, fmi2True), fmi2OK) << all_messages();
    EXPECT_TRUE(close(fmu.real(c, "p_cond"), ref.at(t)[p_cond], 1e-6));
    ASSERT_EQ(fmu.set(c, "T_ambient", ambient + 10.0), fmi2OK);
    EXPECT_EQ(fmu.real(c, "T_ambient"), ambient + 10.0);
    for (; t < kStop - 1e-9; t += kStep) ASSERT_EQ(fmu.do_step(c, t, kStep, fmi2True), fmi2OK) << all_messages();
    // Warmer air: the condenser rejects its heat at a higher pressure.
    const double raised = fmu.real(c, "p_cond"), held = ref.at(kStop)[p_cond];
    // (+10 K on the air gives some 3e5 Pa within the 20 s; a third of that
    // is asked for.)
    EXPECT_GT(raised, held + 1e5) << "p_cond " << raised << " Pa against " << held << " Pa";
    fmu.free_instance(c);
}

// A parameter the plant cannot run with: initialisation fails with the
// simulator's account (block, signal, time) on the logger, and nothing on
// the console.
TEST(FmuFailure, ImpossibleParameterFailsInitialisationThroughTheLoggerOnly)
{
    const fs::path dir = scratch("impossible");
    Fmu fmu(kChillerFmu, dir / "unzipped");
    messages().clear();
    ConsoleToFiles console(dir);
    fmi2Component c = fmu.make();
    ASSERT_TRUE(c);
    ASSERT_EQ(fmu.set(c, "C_eev", 1e-3), fmi2OK);  // a valve a thousand times too wide
    ASSERT_EQ(fmu.setup_experiment(c, fmi2False, 0.0, 0.0, fmi2True, kStop), fmi2OK);
    ASSERT_EQ(fmu.enter_initialization(c), fmi2OK);
    const fmi2Status status = fmu.exit_initialization(c);
    const fmi2Status after = fmu.do_step(c, 0.0, kStep, fmi2True);
    fmu.free_instance(c);
    console.restore();
    EXPECT_EQ(status, fmi2Error);
    EXPECT_EQ(after, fmi2Error);
    EXPECT_EQ(console.written(), "");
    ASSERT_FALSE(messages().empty());
    const std::string& text = messages().front().text;
    EXPECT_EQ(messages().front().status, fmi2Error);
    EXPECT_NE(text.find("at t = 0"), std::string::npos) << text;
    EXPECT_NE(text.find("block '"), std::string::npos) << text;
}

TEST(FmuRun, ParameterSetBeforeInitialisationActsAndIsRefusedAfter)
{
    const Results ref = reference_run();
    Fmu fmu(kChillerFmu, scratch("parameter"));
    messages().clear();
    fmi2Component c = fmu.make();
    ASSERT_TRUE(c);
    const double c_eev = fmu.real(c, "C_eev");
    ASSERT_EQ(fmu.set(c, "C_eev", 1.5 * c_eev), fmi2OK);
    ASSERT_EQ(fmu.setup_experiment(c, fmi2False, 0.0, 0.0, fmi2True, kStop), fmi2OK);
    ASSERT_EQ(fmu.enter_initialization(c), fmi2OK);
    ASSERT_EQ(fmu.exit_initialization(c), fmi2OK) << all_messages();
    ASSERT_EQ(fmu.do_step(c, 0.0, kStep, fmi2True), fmi2OK) << all_messages();
    // A wider valve passes more refrigerant: the suction pressure is not the
    // reference run's.
    const double p_evap = fmu.real(c, "p_evap"), p_ref = ref.at(kStep)[ref.column("p_evap")];
    EXPECT_GT(std::fabs(p_evap - p_ref), 1e-4 * p_ref) << p_evap << " against " << p_ref;
    messages().clear();
    EXPECT_EQ(fmu.set(c, "C_eev", c_eev), fmi2Error);
    EXPECT_NE(all_messages().find("C_eev"), std::string::npos) << all_messages();
    fmu.free_instance(c);
}

TEST(FmuRun, ASetpointInDegreesCelsiusIsReportedAsAWarningAtTerminate)
{
    // Legal, so the steps go on; the importer's logger hears of it at the end.
    Fmu fmu(kChillerFmu, scratch("degc"));
    messages().clear();
    fmi2Component c = fmu.make();
    ASSERT_TRUE(c);
    ASSERT_EQ(fmu.set(c, "T_water_setpoint", 7.0), fmi2OK);
    ASSERT_EQ(fmu.setup_experiment(c, fmi2False, 0.0, 0.0, fmi2True, kStop), fmi2OK);
    ASSERT_EQ(fmu.enter_initialization(c), fmi2OK);
    ASSERT_EQ(fmu.exit_initialization(c), fmi2OK) << all_messages();
    for (double t = 0; t < 4 * kStep - 1e-9; t += kStep) ASSERT_EQ(fmu.do_step(c, t, kStep, fmi2True), fmi2OK) << all_messages();
    messages().clear();
    ASSERT_EQ(fmu.terminate(c), fmi2OK);
    bool warned = false;
    for (const auto& m : messages())
        warned = warned || (m.status == fmi2Warning && m.text.find("pid 'water_pi': its setpoint was 7") != std::string::npos);
    EXPECT_TRUE(warned) << all_messages();
    fmu.free_instance(c);
}

TEST(FmuRun, RunsFromACopyInAnEmptyFolderAndLeavesTheWorkingDirectory)
{
    const Results ref = reference_run();
    const fs::path empty = scratch("empty");
    fs::copy_file(kChillerFmu, empty / "copy.fmu");
    const fs::path elsewhere = scratch("working_directory");
    const fs::path before = fs::current_path();
    fs::current_path(elsewhere);  // nothing here: no property library, no plug-ins
    {
        Fmu fmu(empty / "copy.fmu", empty / "unzipped");
        fmi2Component c = start(fmu);
        EXPECT_EQ(fs::current_path(), elsewhere);
        for (double t = 0; t < 6 - 1e-9; t += kStep) {
            ASSERT_EQ(fmu.do_step(c, t, kStep, fmi2True), fmi2OK) << all_messages();
            EXPECT_EQ(fs::current_path(), elsewhere);
        }
        EXPECT_TRUE(close(fmu.real(c, "p_cond"), ref.at(6.0)[ref.column("p_cond")], 1e-6));
        EXPECT_EQ(fmu.terminate(c), fmi2OK);
        fmu.free_instance(c);
        EXPECT_EQ(fs::current_path(), elsewhere);
    }
    EXPECT_TRUE(fs::is_empty(elsewhere)) << "the FMU wrote into the importer's working directory";
    fs::current_path(before);
}

TEST(FmuInstances, SecondInstanceIsRefusedWhileTheFirstLives)
{
    Fmu fmu(kChillerFmu, scratch("second"));
    messages().clear();
    fmi2Component first = fmu.make("first");
    ASSERT_TRUE(first) << all_messages();
    fmi2Component second = fmu.make("second");
    EXPECT_EQ(second, nullptr);
    ASSERT_FALSE(messages().empty());
    EXPECT_EQ(messages().back().status, fmi2Error);
    EXPECT_NE(messages().back().text.find("canBeInstantiatedOnlyOncePerProcess"), std::string::npos)
        << all_messages();
    fmu.free_instance(first);
    // Once the first is freed, another may be made and runs.
    fmi2Component again = start(fmu);
    ASSERT_TRUE(again);
    EXPECT_EQ(fmu.do_step(again, 0.0, kStep, fmi2True), fmi2OK) << all_messages();
    fmu.free_instance(again);
}

long resident_kilobytes()
{
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TEST(FmuInstances, HundredInstantiateRunFreeCyclesHoldMemoryLevel)
{
    Fmu fmu(kChillerFmu, scratch("hundred"));
    long after_warm_up = 0;
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE(i);
        fmi2Component c = start(fmu);
        ASSERT_TRUE(c);
        ASSERT_EQ(fmu.do_step(c, 0.0, 0.5, fmi2True), fmi2OK) << all_messages();
        if (i % 2 == 0) {
            ASSERT_EQ(fmu.terminate(c), fmi2OK);  // freed with and without terminate
        }
        if (i % 3 == 0) {
            // Reset and run again before freeing.
            ASSERT_EQ(fmu.reset(c), fmi2OK);
            ASSERT_EQ(fmu.enter_initialization(c), fmi2OK);
            ASSERT_EQ(fmu.exit_initialization(c), fmi2OK) << all_messages();
        }
        fmu.free_instance(c);
        if (i == 9) after_warm_up = resident_kilobytes();
    }
    // Leaks are the sanitizer build's to find (LeakSanitizer at exit); growth
    // of the resident set over 90 cycles is looked at in the other builds
    // (AddressSanitizer holds freed memory in its quarantine, up to 256 MB).
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(resident_kilobytes() - after_warm_up, 16 * 1024);
#else
    (void)after_warm_up;
#endif
}

// A small model of built-in blocks: a ratio of a lagged numerator (a step
// from 1 to 3 at 11 s, after the model's own stop time of 10 s) over a
// denominator the importer sets.
fs::path export_ratio_model(const fs::path& dir)
{
    const json model = {
        {"name", "ratio_model"},
        {"blocks",
         {{{"name", "numerator"}, {"type", "step"}, {"time", 11.0}, {"before", 1.0}, {"after", 3.0}},
          {{"name", "denominator"}, {"type", "constant"}, {"value", 2.0}},
          {{"name", "lag"}, {"type", "first_order"}, {"tau", 1.0}, {"initial", 0.0}},
          {{"name", "ratio"}, {"type", "product"}, {"operations", "*/"}}}},
        {"connections",
         {{{"from", "numerator.0.0"}, {"to", "lag.0.0"}},
          {{"from", "lag.0.0"}, {"to", "ratio.0.0"}},
          {{"from", "denominator.0.0"}, {"to", "ratio.1.0"}}}},
        {"log", {{{"signal", "ratio.0.0"}, {"name", "ratio"}}}},
        {"interface",
         {{"inputs", {{{"name", "d"}, {"block", "denominator"}, {"unit", "1"}}}},
          {"outputs", {{{"name", "r"}, {"signal", "ratio.0.0"}, {"unit", "1"}}}}}},
        {"solver", {{"stop_time", 10}, {"rtol", 1e-8}, {"atol", 1e-10}}}};
    std::ofstream(dir / "ratio_model.json") << model.dump(2);
    const std::string command = std::string("'") + CYCLESIM_BUILD_DIR + "/bin/cyclesim' fmu '" +
                                (dir / "ratio_model.json").string() + "' -o '" + (dir / "ratio.fmu").string() +
                                "' > /dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cyclesim fmu of the ratio model failed");
    return dir / "ratio.fmu";
}

// Without a stop time the FMU runs past the model's own, and a source's
// breakpoint there still counts.
TEST(FmuRun, RunsPastTheModelsStopTimeWhenTheImporterGivesNone)
{
    const fs::path dir = scratch("no_stop");
    Fmu fmu(export_ratio_model(dir), dir / "unzipped");
    fmi2Component c = start(fmu, false);
    for (double t = 0; t < 14 - 1e-9; t += 1.0) ASSERT_EQ(fmu.do_step(c, t, 1.0, fmi2True), fmi2OK) << all_messages();
    // The lag: 1 - exp(-t) up to 11 s, then towards 3 from there.
    const double at_11 = 1 - std::exp(-11.0);
    const double at_14 = 3 - (3 - at_11) * std::exp(-3.0);
    EXPECT_NEAR(fmu.real(c, "r"), at_14 / 2, 1e-6);
    fmu.free_instance(c);
}

// The ratio model fails when the importer sets its denominator to zero.
TEST(FmuFailure, FailingRunReportsErrorNamingBlockAndTimeAndFreesCleanly)
{
    const fs::path dir = scratch("failing");
    Fmu fmu(export_ratio_model(dir), dir / "unzipped");
    fmi2Component c = start(fmu);
    ASSERT_EQ(fmu.do_step(c, 0.0, 1.0, fmi2True), fmi2OK) << all_messages();
    EXPECT_NEAR(fmu.real(c, "r"), (1 - std::exp(-1.0)) / 2, 1e-6);
    ASSERT_EQ(fmu.set(c, "d", 0.0), fmi2OK);
    messages().clear();
    EXPECT_EQ(fmu.do_step(c, 1.0, 1.0, fmi2True), fmi2Error);
    ASSERT_FALSE(messages().empty());
    const LoggedMessage& m = messages().back();
    EXPECT_EQ(m.status, fmi2Error);
    EXPECT_NE(m.text.find("'ratio'"), std::string::npos) << m.text;
    EXPECT_NE(m.text.find("t = 1"), std::string::npos) << m.text;
    // The instance stays in error: nothing more runs, and it frees cleanly.
    EXPECT_EQ(fmu.do_step(c, 2.0, 1.0, fmi2True), fmi2Error);
    fmu.free_instance(c);
    // The slot is free again.
    fmi2Component again = start(fmu);
    ASSERT_TRUE(again);
    fmu.free_instance(again);
}

}  // namespace
