#include "bounded_file.h"

#include "errors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cyclesim {

namespace {

std::string megabytes(std::uintmax_t bytes) { return std::to_string(bytes / kMegabyte) + " MB"; }

[[noreturn]] void fail(const std::string& what, const std::string& text)
{
    throw SimulationError(what.empty() ? text : what + ": " + text);
}

void check_status(const struct stat& st, const std::filesystem::path& file, std::uintmax_t limit,
                  const std::string& what)
{
    if (!S_ISREG(st.st_mode))
        fail(what, file.string() + " is not a regular file");
    if (static_cast<std::uintmax_t>(st.st_size) > limit)
        fail(what, file.string() + " is larger than " + megabytes(limit));
}

}  // namespace

std::string read_bounded_file(const std::filesystem::path& file, std::uintmax_t limit, const std::string& what)
{
    // Opened without blocking (a FIFO without a writer would block the
    // open itself), then checked on the descriptor, so what is checked is
    // what is read.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(what, "cannot read " + file.string() + ": " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        fail(what, "cannot read " + file.string() + ": " + std::strerror(errno));
    check_status(st, file, limit, what);

    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(what, "cannot read " + file.string() + ": " + std::strerror(errno));
        }
        text.append(buf, static_cast<std::size_t>(n));
        // The file may grow while it is read.
        if (text.size() > limit) fail(what, file.string() + " is larger than " + megabytes(limit));
    }
    return text;
}

void check_readable_file(const std::filesystem::path& file, std::uintmax_t limit, const std::string& what)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        fail(what, "cannot read " + file.string() + ": " + std::strerror(errno));
    check_status(st, file, limit, what);
}

}  // namespace cyclesim
