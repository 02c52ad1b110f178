// Helpers of the simulator tests: a temporary folder for model files and run
// directories, running cyclesim as a subprocess, reading results.csv.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "test_workdir.h"

namespace simtest {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("cyclesim-sim-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return dir_; }

    fs::path write(const std::string& name, const std::string& text) const
    {
        std::ofstream(dir_ / name) << text;
        return dir_ / name;
    }
    fs::path write_json(const std::string& name, const nlohmann::json& j) const { return write(name, j.dump(2)); }

private:
    fs::path dir_;
};

struct ProcessResult {
    int exit_code = -1;
    std::string err;  // standard error
};

// Runs cyclesim with the test plug-ins folder; standard error is captured.
inline ProcessResult run_cyclesim(const std::string& args, const fs::path& scratch)
{
    const fs::path err_file = scratch / "stderr.txt";
    std::string cmd = testsupport::cyclesim_program().string() + " --blocks " + testsupport::blocks_dir().string() +
                      " " + args + " > " + (scratch / "stdout.txt").string() + " 2> " + err_file.string();
    int status = std::system(cmd.c_str());
    ProcessResult r;
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(err_file);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
}

// Runs cyclesim with an argument vector, no shell in between (arguments
// may hold any text), in `cwd`; standard output and error go to files in
// `scratch`. A run that hangs is ended by an alarm after `limit_s` seconds
// (exit_code -1, signal SIGALRM). `signal` is the signal that ended it, 0 if
// it exited.
struct DirectResult {
    int exit_code = -1;
    int signal = 0;
    std::string err;
};

inline DirectResult run_cyclesim_argv(const std::vector<std::string>& args, const fs::path& cwd,
                                      const fs::path& scratch, unsigned limit_s = 120)
{
    std::vector<std::string> all{testsupport::cyclesim_program().string(), "--blocks",
                                 testsupport::blocks_dir().string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const fs::path err_file = scratch / "stderr.txt", out_file = scratch / "stdout.txt";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(cwd.c_str()) != 0) ::_exit(126);
        const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0) ::_exit(126);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::alarm(limit_s);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    DirectResult r;
    if (WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    std::ifstream in(err_file);
    std::stringstream ss;
    ss << in.rdbuf();
    r.err = ss.str();
    return r;
}

struct Results {
    std::vector<std::string> header;
    std::vector<std::vector<double>> rows;

    std::size_t column(const std::string& name) const
    {
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] == name) return i;
        throw std::runtime_error("no column " + name);
    }
};

inline Results read_results(const fs::path& file)
{
    Results r;
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line)) return r;
    std::stringstream hs(line);
    std::string cell;
    while (std::getline(hs, cell, ',')) r.header.push_back(cell);
    while (std::getline(in, line)) {
        std::stringstream ls(line);
        std::vector<double> row;
        while (std::getline(ls, cell, ',')) row.push_back(std::stod(cell));
        r.rows.push_back(row);
    }
    return r;
}

inline nlohmann::json read_json(const fs::path& file)
{
    std::ifstream in(file);
    return nlohmann::json::parse(in);
}

inline std::string read_text(const fs::path& file)
{
    std::ifstream in(file);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace simtest
