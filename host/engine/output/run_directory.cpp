#include "run_directory.h"

#include "errors.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstring>

namespace cyclesim {

namespace fs = std::filesystem;

fs::path default_property_library()
{
    std::error_code ec;
    auto self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path().parent_path() / "lib" / "libfluidprops.so";
    return fs::path("lib") / "libfluidprops.so";
}

void unlink_if_symlink(const fs::path& file)
{
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(file, ec))) return;
    fs::remove(file, ec);
    if (ec) throw SimulationError("cannot remove the symbolic link " + file.string() + ": " + ec.message());
}

namespace {

// The blocks dlopen the library: a FIFO there would block the run forever
// in the loader, a device or directory would fail without a useful word.
void refuse_unless_regular(const fs::path& library, const std::string& what)
{
    std::error_code ec;
    const auto status = fs::status(library, ec);
    if (fs::exists(status) && !fs::is_regular_file(status))
        throw SimulationError(what + " " + library.string() +
                              " is not a regular file (a pipe, device or directory cannot be loaded)");
}

}  // namespace

std::vector<std::string> prepare_run_directory(const fs::path& dir, const fs::path& library)
{
    std::vector<std::string> notes;
    std::error_code ec;
    // The folder the blocks load the library from must be the run
    // directory's own: a link there would put our library link elsewhere.
    if (fs::is_symlink(fs::symlink_status(dir / "Tarvex_files", ec))) {
        unlink_if_symlink(dir / "Tarvex_files");
        notes.push_back("removed the symbolic link " + (dir / "Tarvex_files").string() + " (a run writes only in its own directory)");
    }
    fs::create_directories(dir / "Tarvex_files", ec);
    if (ec) throw SimulationError("cannot create the run directory " + (dir / "Tarvex_files").string() + ": " + ec.message());
    const fs::path link = dir / "Tarvex_files" / "libCoolProp.so";
    if (fs::symlink_status(link).type() != fs::file_type::not_found) {
        refuse_unless_regular(link, "property library");
        notes.push_back("kept the existing property library " + link.string() +
                        (fs::is_symlink(link) ? " -> " + fs::read_symlink(link).string() : std::string()));
        return notes;
    }
    const fs::path target = fs::absolute(library);
    refuse_unless_regular(target, "property library");
    if (!fs::exists(target)) {
        notes.push_back("warning: property library " + target.string() + " not found; blocks that need one will fail");
        return notes;
    }
    fs::create_symlink(target, link, ec);
    if (ec) throw SimulationError("cannot link " + link.string() + " to " + target.string() + ": " + ec.message());
    notes.push_back("property library " + link.string() + " -> " + target.string());
    return notes;
}

std::string property_library_message(const fs::path& dir)
{
    const fs::path lib = fs::absolute(dir / "Tarvex_files" / "libCoolProp.so");
    // Only a library the blocks have loaded can hold a message about this run.
    void* handle = dlopen(lib.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NOLOAD);
    if (!handle) return {};
    using Getter = long (*)(const char*, char*, int);
    auto get = reinterpret_cast<Getter>(dlsym(handle, "get_global_param_string"));
    std::string out;
    if (get) {
        char buf[2000] = {0};
        if (get("errstring", buf, static_cast<int>(sizeof buf)) >= 0) {
            buf[sizeof buf - 1] = '\0';
            out = buf;
        }
    }
    dlclose(handle);
    return out;
}

RunLog::RunLog(const fs::path& file)
{
    unlink_if_symlink(file);
    file_ = std::fopen(file.c_str(), "w");
    if (!file_) throw SimulationError("cannot write " + file.string() + ": " + std::strerror(errno));
}

RunLog::~RunLog()
{
    if (file_) std::fclose(file_);
}

void RunLog::write(const std::string& text)
{
    std::fputs(text.c_str(), file_);
    std::fflush(file_);
}

WorkingDirectory::WorkingDirectory(const fs::path& dir)
{
    previous_ = fs::current_path();
    std::error_code ec;
    fs::current_path(dir, ec);
    if (ec) throw SimulationError("cannot enter " + dir.string() + ": " + ec.message());
}

WorkingDirectory::~WorkingDirectory()
{
    std::error_code ec;
    fs::current_path(previous_, ec);
}

void write_json_file(const fs::path& file, const nlohmann::json& value)
{
    // Written beside the file and renamed over it: a reader (or a run
    // killed meanwhile) sees the old document or the new one, never half of
    // one. Text that is not UTF-8 is replaced rather than failing the write.
    const std::string text = value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    fs::path part = file;
    part += ".part";
    unlink_if_symlink(part);
    {
        std::ofstream out(part, std::ios::trunc);
        if (!out) throw SimulationError("cannot write " + part.string());
        out << text;
        out.flush();
        if (!out) throw SimulationError("cannot write " + part.string());
    }
    std::error_code ec;
    fs::rename(part, file, ec);
    if (ec) throw SimulationError("cannot replace " + file.string() + ": " + ec.message());
}

}  // namespace cyclesim
