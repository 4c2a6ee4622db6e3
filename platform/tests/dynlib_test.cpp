#include <gtest/gtest.h>

#include <filesystem>

#include "platform/dynlib.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace ksw::platform {
namespace {

TEST(DynamicLibraryNames, WindowsNamesMapToSharedObjects) {
    EXPECT_EQ(shared_library_file_name("Belmo.dll"), "libBelmo.so");
    EXPECT_EQ(shared_library_file_name("ZELCODE.DLL"), "libZELCODE.so");
    EXPECT_EQ(shared_library_file_name("Belmo"), "libBelmo.so");
    EXPECT_EQ(shared_library_file_name("libBelmo.so"), "libBelmo.so");
    EXPECT_EQ(shared_library_file_name("/opt/x/libY.so"), "/opt/x/libY.so");
}

TEST(DynamicLibrary, FindsALibraryBesideTheExecutableByItsWindowsName) {
    DynamicLibrary lib;
    ASSERT_TRUE(lib.load("kswdyntest.dll")) << lib.error();
    int (*get_version)() = nullptr;
    ASSERT_TRUE(lib.bind("DyntestGetVersion", &get_version));
    EXPECT_EQ(get_version(), 0x123);
    EXPECT_NE(lib.path().find("libkswdyntest.so"), std::string::npos);
}

TEST(DynamicLibrary, SearchPathComesFirstAndMissingLibrariesSayWhatWasTried) {
    ksw::testing::TempDir dir;
    ksw::testing::ScopedEnv env("KSW_LIBRARY_PATH", dir.path() + ":/nonexistent");
    const std::vector<std::string> dirs = library_search_dirs();
    ASSERT_GE(dirs.size(), 2u);
    EXPECT_EQ(dirs[0], dir.path());
    EXPECT_EQ(dirs[1], "/nonexistent");

    // A copy on the search path wins over the one beside the executable.
    const std::string original = executable_dir() + "/../lib/libkswdyntest.so";
    std::filesystem::copy_file(original, dir.file("libkswdyntest.so"));
    DynamicLibrary lib;
    ASSERT_TRUE(lib.load("kswdyntest.dll")) << lib.error();
    EXPECT_EQ(lib.path(), dir.file("libkswdyntest.so"));

    DynamicLibrary station_only;
    EXPECT_FALSE(station_only.load("dl.dll", false));  // libdl.so is only on the system path
    EXPECT_NE(station_only.error().find("libdl.so"), std::string::npos);

    DynamicLibrary missing;
    EXPECT_FALSE(missing.load("NoSuchDriver.dll"));
    EXPECT_FALSE(missing.loaded());
    EXPECT_NE(missing.error().find("NoSuchDriver.dll"), std::string::npos);
    EXPECT_NE(missing.error().find("libNoSuchDriver.so"), std::string::npos);
}

TEST(DynamicLibrary, MissingSymbolIsReportedAndMoveKeepsTheHandle) {
    DynamicLibrary lib;
    ASSERT_TRUE(lib.load("kswdyntest.dll"));
    void (*absent)() = nullptr;
    EXPECT_FALSE(lib.bind("NoSuchFunction", &absent));
    EXPECT_NE(lib.error().find("NoSuchFunction"), std::string::npos);

    DynamicLibrary moved(std::move(lib));
    EXPECT_TRUE(moved.loaded());
    EXPECT_FALSE(lib.loaded());  // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_NE(moved.symbol("DyntestGetVersion"), nullptr);
    moved.unload();
    EXPECT_EQ(moved.symbol("DyntestGetVersion"), nullptr);
}

}  // namespace
}  // namespace ksw::platform
