// Test helpers: a temporary working directory whose Tarvex_files/libCoolProp.so
// points at a chosen library (blocks load it relative to the working
// directory), and paths of the build products.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace testsupport {

inline std::filesystem::path build_dir() { return CYCLESIM_BUILD_DIR; }
inline std::filesystem::path blocks_dir() { return build_dir() / "blocks"; }
inline std::filesystem::path analytic_library() { return build_dir() / "testlib" / "libanalyticprops.so"; }
inline std::filesystem::path no_entry_library() { return build_dir() / "testlib" / "libnoentry.so"; }
inline std::filesystem::path real_library() { return build_dir() / "lib" / "libfluidprops.so"; }
// The team's data folder (../shared). $CYCLESIM_SHARED_DIR, when set, stands
// in for it (empty: none), so that the tests can be run as in a clone
// without it.
inline std::filesystem::path shared_dir()
{
    if (const char* env = std::getenv("CYCLESIM_SHARED_DIR")) return env;
    return CYCLESIM_SHARED_DIR;
}
inline bool shared_available() { return !shared_dir().empty() && std::filesystem::is_directory(shared_dir() / "reference"); }
// A reference file by its path under reference/ ("blocks/Condenser.json",
// "props/R134a.csv"): the full set in ../shared when present, else the
// compact subset the repository carries (tests/data/make_reference_subset.py).
inline std::filesystem::path reference_file(const std::string& relative)
{
    if (shared_available()) return shared_dir() / "reference" / relative;
    return std::filesystem::path(CYCLESIM_SOURCE_DIR) / "tests" / "data" / "reference" / relative;
}
inline std::filesystem::path cyclesim_program() { return build_dir() / "bin" / "cyclesim"; }

// Creates a fresh directory, links Tarvex_files/libCoolProp.so to `library`
// (no link when `library` is empty) and makes it the working directory for
// the lifetime of the object.
class ScopedWorkdir {
public:
    explicit ScopedWorkdir(const std::filesystem::path& library)
    {
        std::random_device rd;
        dir_ = std::filesystem::temp_directory_path() /
               ("cyclesim-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
        std::filesystem::create_directories(dir_ / "Tarvex_files");
        if (!library.empty())
            std::filesystem::create_symlink(std::filesystem::absolute(library), dir_ / "Tarvex_files" / "libCoolProp.so");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    ~ScopedWorkdir()
    {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    ScopedWorkdir(const ScopedWorkdir&) = delete;
    ScopedWorkdir& operator=(const ScopedWorkdir&) = delete;
    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path dir_, previous_;
};

}  // namespace testsupport
