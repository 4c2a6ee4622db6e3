// file( on files, folders, links and FIFOs; user( starting, waiting for and forgetting
// programs; the commands of devices the station lacks, and term(.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include "command_fixture.h"
#include "commands/commands.h"
#include "platform/process.h"
#include "platform/tick.h"
#include "runtime/outside_devices.h"
#include "runtime/sequencer.h"
#include "temp_dir.h"

namespace ksw {
namespace {

namespace fs = std::filesystem;
using testing::record;

constexpr int kSea = 0, kTim = 1, kDel = 2, kSub = 3;

class FileCommand : public testing::RegisterCommandTest {
protected:
    int file(int mode, const std::string &name, int32_t n = 100) {
        CommandRecord c = record(mode, {n});
        c.text = name;
        return run_file(context, c);
    }
    int user(const std::string &line, double seconds) {
        CommandRecord c = record(0, {}, {seconds});
        c.text = line;
        return run_user(context, c);
    }
    std::string text_at(size_t n) {
        std::string text;
        while (ad()[n] != 0) text += static_cast<char>(ad()[n++]);
        return text;
    }
    testing::TempDir dir;
};

TEST_F(FileCommand, SearchTellsFilesFoldersAndOtherThingsApart) {
    testing::write_text(dir.file("x.txt"), "1");
    fs::create_directory(dir.file("sub"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    const std::pair<std::string, uint16_t> cases[] = {
        {dir.file("x.txt"), 1}, {dir.path() + "\\x.txt", 1}, {dir.file("sub"), 2},
        {dir.file("fifo"), 3},  {dir.file("none"), 0},       {"", 0}};
    for (const auto &[name, kind] : cases) {
        ad()[100] = 77;
        EXPECT_EQ(file(kSea, name), kOk) << name;
        EXPECT_EQ(ad()[100], kind) << name;
    }
    EXPECT_EQ(file(kSea, dir.file("x.txt"), 8000), kErrOutOfRange);
}

TEST_F(FileCommand, TimeGivesTheLastChangeInLocalTime) {
    const std::string path = dir.file("x.txt");
    testing::write_text(path, "1");
    const std::time_t when = 1700000000;  // a fixed moment, whatever the time zone
    fs::last_write_time(path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
    std::tm local{};
    ASSERT_TRUE(localtime_r(&when, &local));
    EXPECT_EQ(file(kTim, path, 10), kOk);
    EXPECT_EQ((std::vector<uint16_t>{ad()[10], ad()[11], ad()[12], ad()[13], ad()[14], ad()[15]}),
              (std::vector<uint16_t>{static_cast<uint16_t>(local.tm_year + 1900), static_cast<uint16_t>(local.tm_mon + 1),
                                     static_cast<uint16_t>(local.tm_mday), static_cast<uint16_t>(local.tm_hour),
                                     static_cast<uint16_t>(local.tm_min), static_cast<uint16_t>(local.tm_sec)}));
    EXPECT_EQ(file(kTim, path, 7995), kErrOutOfRange);  // six registers from 7995 pass 7999
    EXPECT_EQ(file(kTim, dir.file("none"), 10), kErrOpenFile);
    EXPECT_NE(context.failure_detail.find("none\": No such file"), std::string::npos) << context.failure_detail;
}

TEST_F(FileCommand, DeleteRemovesFilesAndLinksButNeverFolders) {
    const std::string target = dir.file("kept.txt");
    testing::write_text(target, "1");
    testing::write_text(dir.file("x.txt"), "1");
    fs::create_symlink(target, dir.file("link"));
    fs::create_directory(dir.file("sub"));
    EXPECT_EQ(file(kDel, dir.file("x.txt")), kOk);
    EXPECT_EQ(ad()[100], 1);
    EXPECT_FALSE(fs::exists(dir.file("x.txt")));
    EXPECT_EQ(file(kDel, dir.file("x.txt")), kOk);  // gone already
    EXPECT_EQ(ad()[100], 0);
    EXPECT_EQ(file(kDel, dir.file("link")), kOk);
    EXPECT_TRUE(fs::exists(target));
    EXPECT_FALSE(fs::is_symlink(dir.file("link")));
    ad()[100] = 5;
    EXPECT_EQ(file(kDel, dir.file("sub")), kErrOpenFile);
    EXPECT_TRUE(fs::is_directory(dir.file("sub")));
    EXPECT_EQ(ad()[100], 5);
    EXPECT_NE(context.failure_detail.find("a folder is not deleted"), std::string::npos);
}

TEST_F(FileCommand, SubGivesTheFolderPartAsAText) {
    EXPECT_EQ(file(kSub, "data\\logs\\x.txt"), kOk);
    EXPECT_EQ(text_at(100), "data\\logs");
    EXPECT_EQ(file(kSub, "x.txt"), kOk);
    EXPECT_EQ(text_at(100), ".");
    EXPECT_EQ(file(kSub, "/x.txt"), kOk);
    EXPECT_EQ(text_at(100), "/");
    ad()[7996] = 9;
    EXPECT_EQ(file(kSub, "abcd/x", 7996), kErrOutOfRange);  // "abcd" and its 0 pass 7999
    EXPECT_EQ(ad()[7996], 9);
}

TEST_F(FileCommand, UserStartsAProgramAndWaitsAtMostTheGivenTime) {
    const std::string made = dir.file("made.txt");
    EXPECT_EQ(user("sh -c \"echo done > '" + made + "'\"", 10), kOk);
    EXPECT_EQ(testing::read_text(made), "done\n");  // waited for
    EXPECT_TRUE(context.started_programs.empty());

    const uint32_t start = platform::tick_count();
    EXPECT_EQ(user("sleep 5", 0.1), kOk);  // the time is up, the program keeps running
    EXPECT_LT(platform::ticks_since(start), 3000u);
    ASSERT_EQ(context.started_programs.size(), 1u);
    const int sleeper = context.started_programs[0];
    EXPECT_TRUE(platform::stop_process(sleeper));
    platform::sleep_ms(100);
    EXPECT_EQ(user("true", 0), kOk);  // an ended program is forgotten at the next user(
    EXPECT_EQ(std::count(context.started_programs.begin(), context.started_programs.end(), sleeper), 0);
}

TEST_F(FileCommand, UserReportsAProgramThatCannotStartAndStopsWaitingOnAbort) {
    EXPECT_EQ(user("no-such-program-of-this-station", 0), kErrOpenFile);
    EXPECT_NE(context.failure_detail.find("cannot start no-such-program-of-this-station"), std::string::npos)
        << context.failure_detail;
    EXPECT_EQ(user("", 0), kErrOpenFile);
    std::thread operator_abort([this] {
        platform::sleep_ms(50);
        context.gate.abort();
    });
    EXPECT_EQ(user("sleep 5", -1), kErrBreakedByUser);  // -1: until it ends
    operator_abort.join();
    ASSERT_EQ(context.started_programs.size(), 1u);
    platform::stop_process(context.started_programs[0]);
    platform::wait_process(context.started_programs[0]);
}

TEST(OutsideDevices, EveryMissingFrontEndNamesItsTableRowAndStopsWithE029) {
    const CommandTable table = command_table();
    int missing = 0;
    RunContext context;
    ProgramModel program;
    ASSERT_EQ(ensure_step(program, 2), kOk);
    context.use_program(&program);
    for (const CommandRow &row : table) {
        const MissingFrontEnd *m = missing_front_end(row.id);
        if (!m) continue;
        ++missing;
        EXPECT_STREQ(m->keyword, row.keyword);
        CommandRecord c;
        context.failure_detail.clear();
        EXPECT_EQ(row.run(context, c), kErrUndefinedCommand) << row.keyword;
        EXPECT_EQ(context.failure_detail, missing_front_end_text(*m));
    }
    EXPECT_EQ(missing, 14);
    EXPECT_EQ(missing_front_end(kRowMessage), nullptr);
    context.failure_detail = missing_front_end_text(*missing_front_end(kRowLanc));
    EXPECT_EQ(format_step_message(context, 2, kErrUndefinedCommand),
              "STEP2S:e029: Undefined command: lanc( needs the LANC front-end, which is not part of this station");
    // An NG text keeps its own form.
    EXPECT_EQ(format_step_message(context, 2, kErrStepNg), "STEP2:e028: Step NG");
}

TEST(OutsideDevices, TermKeepsTheTerminationOfEachMeasuringInput) {
    RunContext context;
    EXPECT_EQ(run_term(context, record(1, {2})), kOk);
    EXPECT_EQ(context.input_termination, (std::array<bool, 2>{false, true}));
    EXPECT_EQ(run_term(context, record(0, {2})), kOk);
    EXPECT_EQ(run_term(context, record(1, {1})), kOk);
    EXPECT_EQ(context.input_termination, (std::array<bool, 2>{true, false}));
    EXPECT_EQ(run_term(context, record(1, {3})), kErrOutOfRange);
}

}  // namespace
}  // namespace ksw
