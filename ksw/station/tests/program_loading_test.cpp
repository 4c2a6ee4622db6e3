#include <cstdio>
#include <gtest/gtest.h>

#include <cstdlib>

#include "language/file_access.h"
#include "compile_support.h"
#include "language/listing.h"
#include "station/program_loading.h"
#include "temp_dir.h"
#include "ui/console/console_frontend.h"

namespace ksw {
namespace {

using ksw::testing::ScopedEnv;
using ksw::testing::TempDir;
using ksw::testing::write_text;

std::string build_dir() {
    const char *dir = std::getenv("KSW_TEST_BINARY_DIR");
    return dir ? dir : ".";
}

const char *kProgram =
    "#macro Settle\n{ a comment; with a semicolon }\n#endm\n"
    "step 1\ncheck,dc_volt(5,+-0.5)\nSettle\n#ifdef NEVER\nstep 2\n#endif\nstep 3\nauto_adjust,frequency(10k,20k,5k)\n";

// Writes `text` as a coded file through the bound library.
bool write_coded(const std::string &path, const std::string &text) {
    ProgramFile file;
    std::remove(path.c_str());
    return file.create_new(path) && file.write(text) && file.close();
}

TEST(ProgramLoading, AProgramCompilesTheSameFromItsPlainAndItsCodedForm) {
    TempDir dir;
    write_text(dir.file("plain.ks"), kProgram);
    ProgramModel model;
    DefineTable defines;
    Settings settings;
    ASSERT_TRUE(load_program(dir.file("plain.ks"), model, defines, settings, nullptr));
    const std::string plain_listing = compile_listing(model, command_table());

    ScopedEnv path("KSW_LIBRARY_PATH", build_dir() + "/extras/lib");
    platform::DynamicLibrary library;
    ASSERT_EQ(bind_coded_file_library(library, nullptr), 1) << library.error();
    EXPECT_TRUE(coded_files_bound());
    ASSERT_TRUE(write_coded(dir.file("coded.ks"), kProgram));
    EXPECT_NE(ksw::testing::read_text(dir.file("coded.ks")).find("TYPE1"), std::string::npos);
    ProgramCompilation outcome;
    const bool loaded = load_program(dir.file("coded.ks"), model, defines, settings, nullptr, &outcome);
    // A plain file is not a coded one: with the library bound it cannot be read.
    ProgramModel other;
    const bool plain_loaded = load_program(dir.file("plain.ks"), other, defines, settings, nullptr);
    unbind_coded_file_library(library);
    EXPECT_FALSE(coded_files_bound());
    ASSERT_TRUE(loaded) << outcome.report;
    EXPECT_EQ(compile_listing(model, command_table()), plain_listing);
    EXPECT_FALSE(plain_loaded);
}

TEST(ProgramLoading, WithoutTheLibraryOnTheStationsPathFilesStayPlain) {
    TempDir empty;
    ScopedEnv path("KSW_LIBRARY_PATH", empty.path());
    platform::DynamicLibrary library;
    EXPECT_EQ(bind_coded_file_library(library, nullptr), 0);  // the build keeps it in extras/
    EXPECT_FALSE(coded_files_bound());
}

TEST(ProgramLoading, ATooOldLibraryIsRefusedWithAMessage) {
    TempDir dir;
    ScopedEnv path("KSW_LIBRARY_PATH", build_dir() + "/test-libs/old-zelcode");
    std::FILE *out = std::fopen(dir.file("out.txt").c_str(), "w+");
    ConsoleFrontend front({out, stdin, false, true, false});
    platform::DynamicLibrary library;
    EXPECT_EQ(bind_coded_file_library(library, &front), -1);
    EXPECT_FALSE(library.loaded());
    EXPECT_FALSE(coded_files_bound());
    std::fclose(out);
    EXPECT_EQ(ksw::testing::read_text(dir.file("out.txt")), "[KSW.exe] s022: ZELCODE.DLL is too old\n");
}

TEST(ProgramLoading, StartupSymbolsComeFromTheSettingAndTheSwitches) {
    Settings settings;
    settings.define = "A;B(2)";
    settings.command_line_defines.push_back("C(3)");
    DefineTable table;
    define_startup_symbols(table, settings);
    EXPECT_TRUE(is_defined(table, "A"));
    EXPECT_TRUE(is_defined(table, "C"));
    double value = 0;
    size_t length = 0;
    ASSERT_TRUE(lookup_define(table, "B", &value, &length));
    EXPECT_EQ(value, 2.0);
}

}  // namespace
}  // namespace ksw

namespace ksw {
namespace {

TEST(ProgramLoading, CodePage932MakesShiftJisTrailBytesPlain) {
    TempDir dir;
    // 0x83 0x5C is one Shift-JIS character whose trail byte is a backslash: as bytes it would
    // make the closing quote plain and run the text on to the end of the line.
    write_text(dir.file("sjis.ks"), "step 1\nno_operation\nmessage(1,2,\"\x83\x5c\")\nrd[1]=3\n");
    ProgramModel model;
    DefineTable defines;
    Settings settings;
    settings.code_page = 932;
    apply_code_page(settings);
    ProgramCompilation outcome;
    const bool loaded = load_program(dir.file("sjis.ks"), model, defines, settings, nullptr, &outcome);
    settings.code_page = 0;
    apply_code_page(settings);
    ASSERT_TRUE(loaded) << outcome.report;
    EXPECT_EQ(model.steps[1]->commands[0]->text, "\x83\x5c");
    // Without the lead-byte table the same file does not compile.
    EXPECT_FALSE(load_program(dir.file("sjis.ks"), model, defines, settings, nullptr));
}

}  // namespace
}  // namespace ksw
