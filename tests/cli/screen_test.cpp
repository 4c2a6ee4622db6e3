// Whole programs headless that talk to the operator and the file system: what they draw, the
// questions answered through --input, register blocks at the ends of the files, file look-ups,
// and the commands of devices the station lacks, at run time and under --check --strict.
// The programs use no jig: -D runs the station without one.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

TEST(KswScreen, MessageAndShowPrintTheirTextAndTheValueAsTheWindowShowsIt) {
    TempDir dir;
    write_text(dir.file("show.ks"),
               "step 1\nno_operation\ncls()\nmessage(10,20,\"Adjust, then press Enter\")\nsetdata(5,2.5)\n"
               "show(rd,10,40,5)\nsetaddata(100,\"OK\")\nshow(str,10,60,100)\nad[7]=258\nshow(ad,0,0,7)\n"
               "show(dad,0,0,7,2)\ninfo(ad[7])\nshowokng(0,0)\n");
    const auto run = run_ksw(dir, "--headless -D show.ks");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output,
              "[cls]\nAdjust, then press Enter\n2.50000000\nOK\n0102\n  258     0\n[info] 258\n--\n<OK>\n");
}

TEST(KswScreen, InputStoresAnAnsweredValueAndAsksAgainWhenItIsOutOfBounds) {
    TempDir dir;
    write_text(dir.file("ask.ks"), "step 1\nno_operation\ninput(rd,6,\"Voltage\",0,5)\ninput(str,100,\"Name\")\n");
    const auto run = run_ksw(dir, "--headless -D ask.ks --input=7 --input=4.75 --input=Kim --dump='rd[6],ad[100-103]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output,
              "[input] Voltage (0 .. 5): 7\n[input] \"7\" is out of range (0 .. 5)\n[input] Voltage (0 .. 5): 4.75\n"
              "[input] Name (up to 10 characters): Kim\n<OK>\nrd[6]=4.75\nad[100]=75\nad[101]=105\nad[102]=109\n"
              "ad[103]=0\n");
}

TEST(KswScreen, InputWithoutAnAnswerLeftFailsTheStepInsteadOfWaiting) {
    TempDir dir;
    write_text(dir.file("ask.ks"), "step 1\nno_operation\ninput(dad,6,\"Count\",1,10)\nrd[1]=1\n");
    const auto run = run_ksw(dir, "--headless -D ask.ks --input=11 --dump='rd[1]'");
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_EQ(run.output,
              "[input] Count (1 .. 10): 11\n[input] \"11\" is out of range (1 .. 10)\n"
              "[input] Count (1 .. 10): no answer (no terminal, and no --input left)\n"
              "STEP1S:e003: Lacking argument: input( got no answer (without a terminal, give one --input=TEXT per "
              "question)\nSTEP1S:e003: Lacking argument\nrd[1]=0\n");
}

TEST(KswScreen, SearchAndShiftdPastTheEndsOfTheRegisterFilesAreE004) {
    TempDir dir;
    // search(rd, 7990, 1, 2) over ad[2] = 20 registers would pass rd[7999].
    write_text(dir.file("search.ks"),
               "step 1\nno_operation\nsetdata(7995,4)\nsetdata(1,4)\nsetaddata(2,5)\nsearch(rd,7995,1,2)\n"
               "setaddata(3,20)\nsearch(rd,7990,1,3)\n");
    auto run = run_ksw(dir, "--headless -D search.ks --dump='ad[2-3]'");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e004: Argument out of range\nad[2]=7995\nad[3]=20\n");
    // shiftd( with an end taken from ad[9] = 8000.
    write_text(dir.file("shift.ks"),
               "step 1\nno_operation\nsetdata(10,1)\nsetdata(11,2)\nshiftd(rd,lef,10,11)\nsetaddata(9,8000)\n"
               "shiftd(ad,rig,7998,ad[9])\n");
    run = run_ksw(dir, "--headless -D shift.ks --dump='rd[10-11]'");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e004: Argument out of range\nrd[10]=2\nrd[11]=0\n");
}

TEST(KswScreen, FileSearchTellsAPresentFileFromAMissingOne) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("data"));
    write_text(dir.file("data/limits.txt"), "1\r\n");
    write_text(dir.file("files.ks"),
               "step 1\nno_operation\nfile(sea,\"data\\\\limits.txt\",10)\nfile(sea,\"data/none.txt\",11)\n"
               "file(sea,\"data\",12)\nfile(tim,\"data/none.txt\",20)\n");
    const auto run = run_ksw(dir, "--headless -D files.ks --dump='ad[10-12]'");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output,
              "STEP1S:e107: Error while openning file: file( \"data/none.txt\": No such file or directory\n"
              "STEP1S:e107: Error while openning file\nad[10]=1\nad[11]=0\nad[12]=2\n");
}

TEST(KswScreen, AnOutsideDeviceNamesTheFrontEndTheStationLacks) {
    TempDir dir;
    write_text(dir.file("main.ks"), "step 1\nno_operation\nrd[1]=1\n#include dev.ks\n");
    write_text(dir.file("dev.ks"), "step 2\nno_operation\n\nlanc(rem,1)\nstep 3\nno_operation\nvector(pos,0,0,100,100)\n");
    auto run = run_ksw(dir, "--headless -D main.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output,
              "STEP2S:e029: Undefined command: lanc( needs the LANC front-end, which is not part of this station\n"
              "STEP2S:e029: Undefined command\n");

    run = run_ksw(dir, "--check main.ks");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, "compiled: 3 steps\n");
    run = run_ksw(dir, "--check --strict main.ks");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.output,
              "compiled: 3 steps\n"
              "dev.ks:4: step 2: lanc( needs the LANC front-end, which is not part of this station\n"
              "dev.ks:7: step 3: vector( needs the vector-scope window, which is not part of this station\n");
    write_text(dir.file("dev.ks"), "step 2\nno_operation\n");
    EXPECT_EQ(run_ksw(dir, "--check --strict main.ks").exit_code, 0);
}

TEST(KswScreen, BarcodeTakesTheScanFromAnInputAndUserRunsAProgram) {
    TempDir dir;
    write_text(dir.file("scan.ks"),
               "step 1\nno_operation\nbarcode(ad[300])\nuser(\"touch made.txt\",10)\n"
               "file(sea,\"made.txt\",10)\nbeep(wav,\"missing.wav\")\n");
    const auto run = run_ksw(dir, "--headless -D scan.ks --input=SN42 --dump='ad[300-304],ad[10]'");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output,
              "[input] Scan the code (into ad[300]): SN42\n"
              "STEP1S:e107: Error while openning file: beep( cannot play \"missing.wav\"\n"
              "STEP1S:e107: Error while openning file\nad[300]=83\nad[301]=78\nad[302]=52\nad[303]=50\nad[304]=0\n"
              "ad[10]=1\n");
}

}  // namespace
}  // namespace ksw
