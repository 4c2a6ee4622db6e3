// Libraries bound by name at run time, as the station binds its device and driver libraries.
// A Windows name "X.dll" is looked up as "libX.so" in each folder of $KSW_LIBRARY_PATH, then
// beside the executable (../lib, then the executable's own folder), then on the system path.
// Names that already look like "libX.so" or that contain a "/" are used as they stand.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ksw::platform {

// "Belmo.dll" -> "libBelmo.so"; "libBelmo.so" and "Belmo" -> "libBelmo.so"; paths unchanged.
std::string shared_library_file_name(std::string_view name);

// The folders searched before the system path, in order.
std::vector<std::string> library_search_dirs();

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;
    DynamicLibrary(DynamicLibrary &&other) noexcept;
    DynamicLibrary &operator=(DynamicLibrary &&other) noexcept;

    // Loads the library `name` (unloading any library held before). On failure returns false
    // and error() says which files were tried and why the last one failed. Without
    // `system_path` only $KSW_LIBRARY_PATH and the station's own folders are searched.
    bool load(std::string_view name, bool system_path = true);

    // The address of an exported symbol, or null (error() then names the missing symbol).
    void *symbol(const char *name);

    // Binds `name` into a function pointer of type F; false when the symbol is missing.
    template <typename F>
    bool bind(const char *name, F *out) {
        void *address = symbol(name);
        *out = reinterpret_cast<F>(address);
        return address != nullptr;
    }

    void unload();
    bool loaded() const { return handle_ != nullptr; }
    const std::string &path() const { return path_; }
    const std::string &error() const { return error_; }

private:
    void *handle_ = nullptr;
    std::string path_;
    std::string error_;
};

}  // namespace ksw::platform
