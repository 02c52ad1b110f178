#include "child_process.h"

#include "errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cyclesim {

namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe()
    {
        if (pipe2(fd, O_CLOEXEC) != 0) throw SimulationError(std::string("cannot create a pipe: ") + std::strerror(errno));
    }
    ~Pipe()
    {
        for (int f : fd)
            if (f >= 0) close(f);
    }
    void close_end(int i)
    {
        if (fd[i] >= 0) close(fd[i]);
        fd[i] = -1;
    }
};

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
                          const std::function<void(const std::string&)>& on_output, bool capture_err,
                          std::size_t limit)
{
    if (argv.empty() || argv[0].empty()) throw SimulationError("no program to run");
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string dir = cwd.string();
    Pipe out, err, exec_error;  // exec_error: the child reports a failed exec through it

    const pid_t pid = fork();
    if (pid < 0) throw SimulationError(std::string("cannot start ") + argv[0] + ": " + std::strerror(errno));
    if (pid == 0) {
        dup2(out.fd[1], STDOUT_FILENO);
        if (capture_err) dup2(err.fd[1], STDERR_FILENO);
        int code = 0;
        if (!dir.empty() && chdir(dir.c_str()) != 0)
            code = errno;
        else {
            execvp(args[0], args.data());
            code = errno;
        }
        if (write(exec_error.fd[1], &code, sizeof code) < 0) _exit(127);
        _exit(127);
    }
    out.close_end(1);
    err.close_end(1);
    exec_error.close_end(1);

    ProcessResult result;
    pollfd fds[2] = {{out.fd[0], POLLIN, 0}, {capture_err ? err.fd[0] : -1, POLLIN, 0}};
    int open_count = capture_err ? 2 : 1;
    char buf[4096];
    while (open_count > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                if (n < 0 && errno == EINTR) continue;
                fds[i].fd = -1;
                --open_count;
                continue;
            }
            std::string chunk(buf, static_cast<std::size_t>(n));
            if (i == 0 && on_output) {
                on_output(chunk);
            } else {
                std::string& into = i == 0 ? result.out : result.err;
                if (into.size() < limit) into += chunk.substr(0, limit - into.size());
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    int code = 0;
    if (read(exec_error.fd[0], &code, sizeof code) == static_cast<ssize_t>(sizeof code))
        throw SimulationError("cannot run " + argv[0] + (dir.empty() ? "" : " in " + dir) + ": " + std::strerror(code));
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace cyclesim
