#include <gtest/gtest.h>

#include "platform/registry.h"
#include "temp_dir.h"

namespace ksw::platform {
namespace {

class Registry : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    ksw::testing::ScopedEnv env{"XDG_CONFIG_HOME", dir.path()};
};

TEST_F(Registry, LivesInTheConfigFolderAndStartsEmpty) {
    EXPECT_EQ(registry_file_path(), dir.path() + "/Orvane/KSW/registry.ini");
    EXPECT_FALSE(registry_key_exists(RegistryRoot::CurrentUser, "Software\\Orvane\\KSW\\System"));
    EXPECT_FALSE(registry_read_string(RegistryRoot::CurrentUser, "Software\\Orvane\\KSW\\System", "Editor"));
}

TEST_F(Registry, TextAndNumbersRoundTripAndNeverMix) {
    const char *key = "Software\\Orvane\\KSW\\System";
    ASSERT_TRUE(registry_create_key(RegistryRoot::CurrentUser, key));
    EXPECT_TRUE(registry_key_exists(RegistryRoot::CurrentUser, key));
    ASSERT_TRUE(registry_write_string(RegistryRoot::CurrentUser, key, "Editor", "\"vi\" -R"));
    ASSERT_TRUE(registry_write_dword(RegistryRoot::CurrentUser, key, "InhibitMenu", 1));
    ASSERT_TRUE(registry_write_string(RegistryRoot::CurrentUser, key, "SysPort0", "dword:12"));
    EXPECT_EQ(registry_read_string(RegistryRoot::CurrentUser, key, "editor"), "\"vi\" -R");
    EXPECT_EQ(registry_read_dword(RegistryRoot::CurrentUser, key, "InhibitMenu"), 1u);
    EXPECT_EQ(registry_read_string(RegistryRoot::CurrentUser, key, "SysPort0"), "dword:12");
    EXPECT_FALSE(registry_read_string(RegistryRoot::CurrentUser, key, "InhibitMenu"));
    EXPECT_FALSE(registry_read_dword(RegistryRoot::CurrentUser, key, "Editor"));
    // Roots and key paths are separate keys; "/" and "\" separate alike.
    EXPECT_FALSE(registry_read_string(RegistryRoot::Users, key, "Editor"));
    EXPECT_EQ(registry_read_string(RegistryRoot::CurrentUser, "Software/Orvane/KSW/System/", "Editor"), "\"vi\" -R");
}

TEST_F(Registry, GarbageFileReadsAsMissingValues) {
    ASSERT_TRUE(registry_create_key(RegistryRoot::CurrentUser, "K"));
    ksw::testing::write_text(registry_file_path(), std::string("\x00\xff[\x01garbage\n=\n[", 14));
    EXPECT_FALSE(registry_read_dword(RegistryRoot::CurrentUser, "K", "X"));
    EXPECT_TRUE(registry_write_dword(RegistryRoot::CurrentUser, "K", "X", 0xFFFFFFFFu));
    EXPECT_EQ(registry_read_dword(RegistryRoot::CurrentUser, "K", "X"), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace ksw::platform
