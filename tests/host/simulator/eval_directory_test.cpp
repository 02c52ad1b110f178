// cyclesim eval finds the property library from any working directory, and
// --props names another one; it names each of our blocks' outputs, in its
// JSON and as a table.
#include <gtest/gtest.h>

#include <sstream>

#include "sim_test_support.h"

using namespace simtest;

namespace {

const std::vector<std::string> kValve{"eval", "Orvane", "--params", R"([{"C_eev": 2.0e-6}, "R134a"])", "--inputs",
                                      "[[0.5, 1.2e6, 3.0e5, 2.5e5]]"};

TEST(EvalDirectory, FindsOurLibraryFromAnyDirectoryAndTakesProps)
{
    TempDir tmp;  // no Tarvex_files here
    auto r = run_cyclesim_argv(kValve, tmp.path(), tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto out = nlohmann::json::parse(read_text(tmp.path() / "stdout.txt"));
    ASSERT_TRUE(out["outputs"][0][0].is_number());
    EXPECT_GT(out["outputs"][0][0].get<double>(), 0.0);  // a flow through the open valve
    // Nothing is left behind in the working directory.
    EXPECT_FALSE(fs::exists(tmp.path() / "Tarvex_files"));

    auto args = kValve;
    args.insert(args.end(), {"--props", (tmp.path() / "missing.so").string()});
    r = run_cyclesim_argv(args, tmp.path(), tmp.path());
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.err.find("--props: property library"), std::string::npos) << r.err;

    // A library whose every query fails: the block stops, eval exits non-zero.
    args = kValve;
    args.insert(args.end(), {"--props", (testsupport::build_dir() / "testlib" / "libprops_with_message.so").string()});
    r = run_cyclesim_argv(args, tmp.path(), tmp.path());
    EXPECT_NE(r.exit_code, 0) << r.err;
}

// Each of our four blocks at the chiller's design point: "output_names" and
// "output_units" have the shape of "outputs", and --table prints one named
// line per element.
TEST(EvalNames, EachOfOurBlocksNamesItsOutputsInJsonAndInATable)
{
    struct Case {
        std::string block, params, inputs, port_element_name, table_line;
        std::vector<std::size_t> widths;
    };
    const std::string evaporator_params =
        R"([{"N_placas": 20, "medidaF1": 0.01, "medidaC": 0.31, "medidaD": 0.11, "medidaF": 0.003, "medidaG": 0.045,
             "peso_intercambiador": 1.0, "peso_placa": 0.08, "densidad_material": 8000.0, "alfa1": 674.7,
             "alfa2": 168.67, "tipo_intercambiador": "PLATE_1_1_CU_1"}, "R134a", "Water", 404276.9])";
    const std::string condenser_params =
        R"([{"N_pasos": 2, "N_tubos": 12, "L_tubos": 0.6, "D_tubos": 0.008, "kperd": 0.0, "alfa1": 1018.23,
             "alfa2": 1018.23, "alfa3": 1018.23, "tipo_intercambiador": "CRO_UNMIX_MIX_1"}, "R134a", "Air",
            {"Condenser_L1_inicial": 0.068267, "Condenser_P_inicial": 1159924.24, "Condenser_h3_inicial": 260897.95,
             "Condenser_L3_inicial": 0.116756, "Condenser_gamma_inicial": 0.9, "Condenser_mode": 1},
            {"Lmin": 0.01, "Lmin_gamma": 0.05, "Kh": 0.5, "Kgamma": 0.0}])";
    const std::vector<Case> cases = {
        {"Orvane", kValve[3], kValve[5], "0 0 m_refrigerant", "m_refrigerant", {1}},
        {"Compressor", R"([{"a": 30, "b": 1.35, "c": 0.04, "St": 2.92746e-05, "UA_vsc": 1.5}, "R134a", 314619.4])",
         "[[50, 1.16e6, 0.0203, 404276.9, 303.15]]", "0 2 W_electric", "W_electric", {3}},
        {"Evaporator", evaporator_params, "[[249615, 0.0194, 314932, 285.15, 0.143137, 200000]]", "0 10 superheat",
         "superheat", {11}},
        {"Condenser", condenser_params, "[[0.0203, 0.0203, 441645, 1159924], [303.15, 0.4, 101325]]", "3 0 mode",
         "subcooling", {21, 5, 5, 1}},
    };
    for (const auto& c : cases) {
        TempDir tmp;
        const std::vector<std::string> args{"eval", c.block, "--params", c.params, "--inputs", c.inputs};
        auto r = run_cyclesim_argv(args, tmp.path(), tmp.path());
        ASSERT_EQ(r.exit_code, 0) << c.block << ": " << r.err;
        const auto out = nlohmann::json::parse(read_text(tmp.path() / "stdout.txt"));
        ASSERT_EQ(out["outputs"].size(), c.widths.size()) << c.block;
        ASSERT_EQ(out["output_names"].size(), c.widths.size()) << c.block;
        for (std::size_t p = 0; p < c.widths.size(); ++p) {
            EXPECT_EQ(out["outputs"][p].size(), c.widths[p]) << c.block << " port " << p;
            EXPECT_EQ(out["output_names"][p].size(), c.widths[p]) << c.block << " port " << p;
            EXPECT_EQ(out["output_units"][p].size(), c.widths[p]) << c.block << " port " << p;
        }
        std::istringstream where(c.port_element_name);
        std::size_t port = 0, element = 0;
        std::string name;
        where >> port >> element >> name;
        EXPECT_EQ(out["output_names"][port][element], name) << c.block;

        auto table_args = args;
        table_args.push_back("--table");
        r = run_cyclesim_argv(table_args, tmp.path(), tmp.path());
        ASSERT_EQ(r.exit_code, 0) << c.block << ": " << r.err;
        const std::string table = read_text(tmp.path() / "stdout.txt");
        EXPECT_EQ(table.rfind("port element name", 0), 0u) << table;
        std::size_t lines = 0;
        for (char ch : table) lines += ch == '\n';
        std::size_t elements = 0;
        for (auto w : c.widths) elements += w;
        EXPECT_EQ(lines, elements + 1) << table;
        EXPECT_NE(table.find(c.table_line), std::string::npos) << table;
    }
}

}  // namespace
