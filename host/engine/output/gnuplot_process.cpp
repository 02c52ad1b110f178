#include "gnuplot_process.h"

#include "errors.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

extern char** environ;

namespace cyclesim {

namespace {

// Closes a descriptor once, whatever way the function is left.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset()
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

}  // namespace

void run_gnuplot(const std::filesystem::path& work_dir, const std::filesystem::path& script)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw SimulationError(std::string("plot: cannot start gnuplot: ") + std::strerror(errno));
    Descriptor read_end(fds[0]), write_end(fds[1]);

    // gnuplot reads nothing from us but its script; what it says goes to
    // the pipe (standard output and error both) for the message on failure.
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), write_end.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(actions.get(), write_end.get(), STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(actions.get(), work_dir.c_str());

    std::string program = "gnuplot", script_arg = script.string();
    char* argv[] = {program.data(), script_arg.data(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "gnuplot", actions.get(), nullptr, argv, environ);
    write_end.reset();
    if (rc == ENOENT) throw SimulationError("plot: gnuplot is not installed (Debian package gnuplot-nox)");
    if (rc != 0) throw SimulationError(std::string("plot: cannot start gnuplot: ") + std::strerror(rc));

    std::string out;
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(read_end.get(), buf, sizeof buf);
        if (n > 0) {
            if (out.size() < 64 * 1024) out.append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        throw SimulationError("plot: gnuplot is not installed (Debian package gnuplot-nox)");
    throw SimulationError("plot: gnuplot failed on " + (work_dir / script).string() + ": " + out);
}

}  // namespace cyclesim
