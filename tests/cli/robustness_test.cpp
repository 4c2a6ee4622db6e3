// The station against hostile surroundings, through the real binary: copies started side by
// side in one folder, planted links, folders and FIFOs where files belong, and termination
// signals in the middle of a run.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::read_text;
using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

bool no_intermediate_files(const TempDir &dir) {
    for (const auto &entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename().string().rfind("temp000", 0) == 0) {
            ADD_FAILURE() << "left behind: " << entry.path();
            return false;
        }
    }
    return true;
}

// Two stations started at once from one folder on different programs: each compiles and runs its
// own program, never the other's intermediate file.
TEST(Robustness, CopiesStartedTogetherInOneFolderEachRunTheirOwnProgram) {
    TempDir dir;
    write_text(dir.file("ok.ks"), "step 1\nmode(che)\nokng(ok,1)\n");
    write_text(dir.file("ng.ks"), "step 1\nmode(che)\nokng(ng,1)\nstep 2\nno_operation\n");
    // Two copies cannot both open the serial port at start-up; these leave it alone.
    write_text(dir.file("ksw.ini"), "[RS232C]\r\nOpenRSFirst=0\r\n");
    const char *binary_dir = std::getenv("KSW_TEST_BINARY_DIR");
    ASSERT_NE(binary_dir, nullptr);
    // Each pair runs the two programs in parallel shells; a pair's outputs go to files of its own.
    std::string script = "cd '" + dir.path() + "' && export XDG_CONFIG_HOME=cfg XDG_RUNTIME_DIR=run; K='" +
                         std::string(binary_dir) + "/bin/ksw'; for i in $(seq 1 200); do "
                         "$K --headless -D ok.ks > ok.$i 2>&1 < /dev/null & "
                         "$K --headless -D ng.ks > ng.$i 2>&1 < /dev/null; wait; done";
    ASSERT_EQ(std::system(script.c_str()), 0);
    int wrong = 0;
    for (int i = 1; i <= 200; ++i) {
        wrong += read_text(dir.file("ok." + std::to_string(i))) != "<OK>\n";
        wrong += read_text(dir.file("ng." + std::to_string(i))) != "STEP1:e028: Step NG\n";
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(no_intermediate_files(dir));
}

// A link planted where the kept intermediate file goes is replaced, never written through.
TEST(Robustness, ALinkPlantedAtTheIntermediateFileIsNeverFollowed) {
    TempDir dir;
    write_text(dir.file("precious.txt"), "keep me\n");
    std::filesystem::create_symlink(dir.file("precious.txt"), dir.file("temp0001.$$$"));
    std::filesystem::create_symlink(dir.file("precious.txt"), dir.file("adrdinfo.txt"));
    write_text(dir.file("main.ks"), "step 1\nno_operation\nrd[1]=2\n");
    auto run = run_ksw(dir, "--check main.ks");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("temp0001.$$$")));
    run = run_ksw(dir, "--check main.ks -M -C");  // keep the intermediate file and write the compile data
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(read_text(dir.file("precious.txt")), "keep me\n");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file("temp0001.$$$")));
    EXPECT_EQ(read_text(dir.file("temp0001.$$$")), "step 1\r\nno_operation\r\nrd[1]=2\r\n");
    EXPECT_EQ(read_text(dir.file("adrdinfo.txt")), "\r\nrd[1]\r\n");
    const auto mode = std::filesystem::status(dir.file("temp0001.$$$")).permissions();
    EXPECT_EQ(mode & std::filesystem::perms::others_read, std::filesystem::perms::none);
}

// A folder, a FIFO or a device where a program file belongs is refused with its name and the
// reason; it never reads as an empty or endless program.
TEST(Robustness, FoldersFifosAndDevicesAreNoProgramFiles) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder.ks"));
    ASSERT_EQ(::mkfifo(dir.file("fifo.ks").c_str(), 0600), 0);
    auto run = run_ksw(dir, "--check folder.ks");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.output, "s007: [folder.ks]\nCan't open file\n(is a folder)\n");
    run = run_ksw(dir, "--headless folder.ks");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.output.find("<OK>"), std::string::npos) << run.output;

    for (const std::string include : {"folder.ks", "fifo.ks", "/dev/zero"}) {
        write_text(dir.file("main.ks"), "step 1\nno_operation\n#include " + include + "\n");
        run = run_ksw(dir, "--check main.ks");
        EXPECT_EQ(run.exit_code, 2) << include;
        const std::string reason = include == "folder.ks" ? "is a folder" : "is not a regular file";
        EXPECT_EQ(run.output, "s007: [" + include + "]\nCan't open file\n(" + reason + ")\nat main.ks line 3\n")
            << include;
    }
    EXPECT_TRUE(no_intermediate_files(dir));
}

TEST(Robustness, AnIncludeWithABackslashSeparatorOpensTheFileInTheSubfolder) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    write_text(dir.file("sub/a.ks"), "step 2\nno_operation\n");
    write_text(dir.file("main.ks"), "step 1\nno_operation\n#include sub\\a.ks\n");
    const auto run = run_ksw(dir, "--check main.ks");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "compiled: 2 steps\n");
}

// The reports say what and where: a path too long is refused, never cut; an #ifdef left open is
// named by its own line; a statement's control bytes reach the terminal escaped; a label written
// as a huge number is out of range.
TEST(Robustness, ReportsNameWhatAndWhere) {
    TempDir dir;
    auto run = run_ksw(dir, "--check " + std::string(300, 'p') + ".ks");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.output.find("(the path is longer than 255 characters)"), std::string::npos) << run.output;

    write_text(dir.file("open.ks"), "step 1\nno_operation\n#ifdef NEVER\nstep 2\nno_operation\n");
    run = run_ksw(dir, "--check open.ks");
    EXPECT_EQ(run.output, "s005: Compile error\nStep 1 - 1\n[#ifdefNEVER]\ne015: Missing #endif\nat open.ks line 3\n");

    write_text(dir.file("esc.ks"), "step 1\nno_operation\nbogus(\x1b[2J\x07)\n");
    run = run_ksw(dir, "--check esc.ks");
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos);
    EXPECT_NE(run.output.find("bogus(\\x1B[2J\\x07)"), std::string::npos) << run.output;

    write_text(dir.file("big.ks"), "step1e308\nno_operation\n");
    run = run_ksw(dir, "--check big.ks");
    EXPECT_NE(run.output.find("e035: Step No. out of range"), std::string::npos) << run.output;
}

// Runs ksw in `dir` in the background; returns its process id.
pid_t start_ksw(const TempDir &dir, const std::vector<std::string> &arguments) {
    const std::string binary = std::string(std::getenv("KSW_TEST_BINARY_DIR")) + "/bin/ksw";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.path().c_str()) != 0) ::_exit(120);
        ::setenv("XDG_CONFIG_HOME", (dir.path() + "/cfg").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (dir.path() + "/run").c_str(), 1);
        const int out = ::open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::dup2(in, 0);
        std::vector<char *> argv{const_cast<char *>(binary.c_str())};
        for (const std::string &a : arguments) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(binary.c_str(), argv.data());
        ::_exit(121);
    }
    return pid;
}

// A termination signal in the middle of a run ends the station as its close command does: the
// run is aborted (its closing steps do not run), the settings are saved, no file of the load is
// left, and the exit status tells which signal it was.
TEST(Robustness, TerminationSignalsCloseTheStationCleanly) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir dir;
        write_text(dir.file("long.ks"), "step 1\nno_operation\nrd[1]=1\nwait(30)\nrd[1]=2\n"
                                        "step 5006\nno_operation\nrd[9]=1\n");
        const pid_t pid = start_ksw(dir, {"--headless", "long.ks", "-M"});
        ASSERT_GT(pid, 0);
        // Wait until the run is under way: the kept intermediate file appears after the load.
        for (int i = 0; i < 5000 && !std::filesystem::exists(dir.file("temp0001.$$$")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(::kill(pid, signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_TRUE(std::filesystem::exists(dir.file("ksw.ini"))) << read_text(dir.file("out.txt"));
        // Only the kept intermediate file (-M) stands: no file of this process's own.
        for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename().string().find('-'), std::string::npos) << entry.path();
    }
}

TEST(Robustness, ASignalDuringACheckEndsItWithTheSignalsStatus) {
    TempDir dir;
    std::string big = "step 1\nno_operation\n";
    for (int i = 0; i < 200000; ++i) big += "rd[1]=rd[1]+1\n";
    write_text(dir.file("big.ks"), big);
    const pid_t pid = start_ksw(dir, {"--check", "big.ks"});
    // Once its intermediate file exists the compile is under way.
    const std::string intermediate = dir.file("temp0001-" + std::to_string(pid) + ".$$$");
    for (int i = 0; i < 2000 && !std::filesystem::exists(intermediate); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_TRUE(no_intermediate_files(dir));
}

}  // namespace
}  // namespace ksw
