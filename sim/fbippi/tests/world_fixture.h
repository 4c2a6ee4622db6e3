// A scenario written into a fresh folder and loaded into the simulated world for one test; the
// world goes back to every default when the test ends. Problems the scenario reports on stderr are
// kept in `messages`.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "jigsim.h"
#include "temp_dir.h"

namespace jigtest {

class LoadedWorld {
public:
    using Files = std::vector<std::pair<std::string, std::string>>;
    // `files` (name, contents) are written beside the scenario before it is loaded.
    explicit LoadedWorld(const std::string &scenario, const Files &files = {}) : path_(dir_.file("world.ini")) {
        for (const auto &[name, text] : files) ksw::testing::write_text(dir_.file(name), text);
        ksw::testing::write_text(path_, scenario);
        ::testing::internal::CaptureStderr();
        problems = jigsim_load(path_.c_str());
        messages = ::testing::internal::GetCapturedStderr();
    }
    ~LoadedWorld() { jigsim_load(nullptr); }
    LoadedWorld(const LoadedWorld &) = delete;
    LoadedWorld &operator=(const LoadedWorld &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return dir_.file(name); }

    int problems = 0;
    std::string messages;

private:
    ksw::testing::TempDir dir_;
    std::string path_;
};

}  // namespace jigtest
