// Programs started with an argument vector, never through a shell: no text of
// a path or a swept value is ever interpreted as a command line.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace cyclesim {

struct ProcessResult {
    int exit_code = -1;    // the program's exit status, or 128 + signal
    std::string out;       // standard output (when not streamed), at most the limit
    std::string err;       // standard error (when captured), at most the limit
};

// Runs argv[0] (searched in PATH when it has no '/') with `cwd` as working
// directory and waits for it. Standard output goes to `on_output` chunk by
// chunk when given, else into the result; standard error is captured when
// `capture_err`, else shared with ours. Each capture keeps at most
// `limit` bytes. Throws SimulationError when the program cannot be started.
ProcessResult run_process(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
                          const std::function<void(const std::string&)>& on_output = {}, bool capture_err = true,
                          std::size_t limit = 1 << 20);

}  // namespace cyclesim
