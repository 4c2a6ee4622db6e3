#include "platform/dynlib.h"
#include "platform/ascii.h"

#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>
#include <utility>

#include "platform/files.h"

namespace ksw::platform {
namespace {

bool file_exists(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string shared_library_file_name(std::string_view name) {
    if (name.find('/') != std::string_view::npos) return std::string(name);
    if (ends_with_nocase(name, ".dll")) name.remove_suffix(4);
    if (name.find(".so") != std::string_view::npos) return std::string(name);
    std::string file = "lib";
    file += name;
    file += ".so";
    return file;
}

std::vector<std::string> library_search_dirs() {
    std::vector<std::string> dirs;
    if (const char *env = std::getenv("KSW_LIBRARY_PATH")) {
        std::string_view rest(env);
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            const std::string_view dir = rest.substr(0, colon);
            if (!dir.empty()) dirs.emplace_back(dir);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    const std::string exe_dir = executable_dir();
    if (!exe_dir.empty()) {
        dirs.push_back(exe_dir + "/../lib");
        dirs.push_back(exe_dir);
    }
    return dirs;
}

DynamicLibrary::~DynamicLibrary() { unload(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)), error_(std::move(other.error_)) {}

DynamicLibrary &DynamicLibrary::operator=(DynamicLibrary &&other) noexcept {
    if (this != &other) {
        unload();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool DynamicLibrary::load(std::string_view name, bool system_path) {
    unload();
    error_.clear();
    const std::string file = shared_library_file_name(name);
    std::vector<std::string> candidates;
    if (file.find('/') == std::string::npos) {
        for (const std::string &dir : library_search_dirs())
            if (file_exists(dir + "/" + file)) candidates.push_back(dir + "/" + file);
    }
    if (system_path || file.find('/') != std::string::npos) candidates.push_back(file);  // a path, or the system's search
    if (candidates.empty()) {
        error_ = "cannot load " + std::string(name) + " (no " + file + " on $KSW_LIBRARY_PATH or beside the program)";
        return false;
    }

    std::string tried;
    for (const std::string &candidate : candidates) {
        dlerror();
        handle_ = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) {
            path_ = candidate;
            return true;
        }
        const char *reason = dlerror();
        if (!tried.empty()) tried += "; ";
        tried += candidate + ": " + (reason ? reason : "unknown error");
    }
    error_ = "cannot load " + std::string(name) + " (" + tried + ")";
    return false;
}

void *DynamicLibrary::symbol(const char *name) {
    if (!handle_) {
        error_ = std::string("no library loaded for symbol ") + name;
        return nullptr;
    }
    dlerror();
    void *address = ::dlsym(handle_, name);
    if (!address) error_ = "missing function " + std::string(name) + " in " + path_;
    return address;
}

void DynamicLibrary::unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
    path_.clear();
}

}  // namespace ksw::platform
