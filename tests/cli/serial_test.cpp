// Whole programs on the station's serial port: ksw --headless --sim=SCENARIO, whose [serial]
// section runs the simulated product on a pseudo-terminal, and rwfile( on real files.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::read_text;
using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

// The station's program around `body`, in step 1, with the port opened first.
std::string program(const std::string &body) {
    return "step 1\nno_operation\nrs232c(set,9600,8,non,1)\n" + body;
}

TEST(KswSerial, ABaudRateTheCommandDoesNotOfferIsRefusedAtCompileTime) {
    TempDir dir;
    write_text(dir.file("p.ks"), "step 1\nno_operation\nrs232c(set,14400,8,non,1)\n");
    const auto run = run_ksw(dir, "--check p.ks");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.output, "s005: Compile error\nStep 1 - 1\n[rs232c(set,14400,8,non,1)]\ne004: Argument out of range\n"
                          "at p.ks line 3\n");
}

TEST(KswSerial, AReceiveTimeoutEndsTheStepWithE092) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[serial]\nmode=sink\n");
    write_text(dir.file("p.ks"), program("rs232c(tim,0.2)\nrscom(frx,0,4)\n"));
    const auto run = run_ksw(dir, "--headless --sim=w.ini p.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e092: 232C:RX timeout\n");
}

TEST(KswSerial, APacketOfLengthZeroIsItsTwoHeadBytesAlone) {
    TempDir dir;
    // The product answers "K" only when the bytes it received end with 07 00.
    write_text(dir.file("w.ini"), "[serial]\nmode=text\nrequest1=\"\\x07\\0\"\nreply1=K\n");
    write_text(dir.file("p.ks"), program("setaddata(0,7)\nsetaddata(1,0)\nsetaddata(2,9)\nrs232c(tim,0.5)\n"
                                         "rscom(vtx,0)\nrscom(frx,10,1)\n"));
    const auto run = run_ksw(dir, "--headless --sim=w.ini p.ks --dump='ad[10]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\nad[10]=75\n");
}

TEST(KswSerial, OneAttemptMeansNoRetryWhileTwoCatchALateReply) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[serial]\nmode=text\nrequest1=Q\nreply1=R\nreply_delay_ms=300\n");
    const std::string exchange = "setaddata(0,81)\nrscom(ftr,0,1,10,1,0.1)\n";
    write_text(dir.file("one.ks"), program("rscom(ret,0.5,1)\n" + exchange));
    write_text(dir.file("two.ks"), program("rscom(ret,0.5,2)\n" + exchange));
    auto run = run_ksw(dir, "--headless --sim=w.ini one.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e092: 232C:RX timeout\n");
    run = run_ksw(dir, "--headless --sim=w.ini two.ks --dump='ad[10]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\nad[10]=82\n");
}

TEST(KswSerial, TheDownloadHandshakeRunsEndToEndAndStopsTheFileAtItsEndByte) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[serial]\nmode=download\ndownload_file=\"" + dir.file("got.hex") +
                                      "\"\ndownload_idle_ms=200\n");
    const std::string hex = ":020000040000FA\r\n:0400000001020304F2\r\n";
    write_text(dir.file("prog.hex"), hex + "\x1A:00000001FF\r\n");
    write_text(dir.file("p.ks"), program("sendmicon(run,prog.hex)\n"));
    const auto run = run_ksw(dir, "--headless --sim=w.ini p.ks");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\n");
    // The loader saw the file up to the end byte, ended the download on the pause, said "*",
    // and the station answered with the start command (else the step had timed out).
    EXPECT_EQ(read_text(dir.file("got.hex")), hex);
}

TEST(KswSerial, RegisterFilesAreWrittenAndReadBackExactly) {
    TempDir dir;
    write_text(dir.file("p.ks"),
               "step 1\nno_operation\n"
               "rd[0]=0.1\nrd[1]=rd[0]/3\nrd[2]=-2.5e-7\nrd[3]=rd[1]*1e300\n"
               "ad[0]=65535\nad[1]=4660\nad[2]=0\n"
               "rwfile(w,rd,0,4,2,rd.txt)\nrwfile(fw,ad,0,3,0,ad.txt)\nrwfile(w,dad,0,3,1,dad.txt)\n"
               "rwfile(a,dad,1,1,0,dad.txt)\n"
               "rwfile(r,rd,10,4,0,rd.txt)\nrwfile(fr,ad,10,3,0,ad.txt)\nrwfile(r,dad,20,,0,dad.txt)\n");
    const auto run = run_ksw(dir, "--headless -D p.ks --dump='rd[0-3],rd[10-13],ad[10-12],ad[20-23]'");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(read_text(dir.file("ad.txt")), "FFFF,1234,0000\r\n");
    EXPECT_EQ(read_text(dir.file("dad.txt")), "65535\r\n4660\r\n0\r\n4660\r\n");
    EXPECT_EQ(read_text(dir.file("rd.txt")).substr(0, 20), "0.1,0.03333333333333");
    // Every value read back is the value written, to the last bit.
    const std::string dump = run.output;
    for (int i = 0; i < 4; ++i) {
        const auto value = [&](int n) {
            const std::string key = "rd[" + std::to_string(n) + "]=";
            const size_t at = dump.find(key);
            return at == std::string::npos ? std::string("?") : dump.substr(at + key.size(), dump.find('\n', at) - at - key.size());
        };
        EXPECT_EQ(value(i), value(10 + i)) << i;
    }
    EXPECT_NE(dump.find("ad[10]=65535\nad[11]=4660\nad[12]=0\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("ad[20]=65535\nad[21]=4660\nad[22]=0\nad[23]=4660\n"), std::string::npos) << dump;
}

TEST(KswSerial, TheConsolesClipboardIsAFileThatOutlivesTheRun) {
    TempDir dir;
    write_text(dir.file("w.ks"), "step 1\nno_operation\nad[0]=18\nad[1]=52\nrwfile(w,ad,0,2,0,clipboard)\n");
    write_text(dir.file("r.ks"), "step 1\nno_operation\nrwfile(r,ad,5,2,0,clipboard)\n");
    ASSERT_EQ(run_ksw(dir, "--headless -D w.ks").exit_code, 0);
    EXPECT_EQ(read_text(dir.file("run/ksw/clipboard.txt")), "0012,0034\r\n");
    const auto run = run_ksw(dir, "--headless -D r.ks --dump='ad[5-6]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\nad[5]=18\nad[6]=52\n");
}

TEST(KswSerial, TheStartUpPortIsTheScenariosProductAndNeverSaved) {
    TempDir dir;
    write_text(dir.file("ksw.ini"), "[RS232C]\r\nPort=COM3\r\nOpenRSFirst=1\r\n");
    write_text(dir.file("w.ini"), "[serial]\nmode=echo\nport=com3\n");
    write_text(dir.file("p.ks"), "step 1\nno_operation\nsetaddata(0,65)\nrscom(ftr,0,1,10,1)\n");
    const auto run = run_ksw(dir, "--headless --sim=w.ini p.ks --dump='ad[10]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\nad[10]=65\n");
    const std::string saved = read_text(dir.file("ksw.ini")) + read_text(dir.file("cfg/Orvane/KSW/registry.ini"));
    EXPECT_EQ(saved.find("/dev/pts"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Port=COM3"), std::string::npos) << saved;
}

TEST(KswSerial, AStartUpPortThatDoesNotOpenIsShownAndTheProgramRuns) {
    TempDir dir;
    write_text(dir.file("ksw.ini"), "[RS232C]\r\nPort=" + dir.file("no-line") + "\r\nOpenRSFirst=1\r\n");
    write_text(dir.file("p.ks"), "step 1\nno_operation\nrscom(ftx,0,1)\n");
    const auto run = run_ksw(dir, "--headless -D p.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "[KSW.exe - ERROR] s010: Can't open RS-232C port " + dir.file("no-line") +
                              " \nSTEP1S:e087: 232C:Port not open\n");
}

TEST(KswSerial, AScenarioWhoseProductCannotRunEndsTheStartUp) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[serial]\nmode=echo\nport=COM42\n");
    write_text(dir.file("p.ks"), "step 1\nno_operation\n");
    auto run = run_ksw(dir, "--headless --sim=w.ini p.ks");
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.output.find("[serial] port: expected COM1 to COM9, not \"COM42\""), std::string::npos) << run.output;
    write_text(dir.file("w.ini"), "[serial]\nmode=echo\nfault=sometimes\n");
    run = run_ksw(dir, "--headless --sim=w.ini p.ks");
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.output.find("[serial] fault: unknown choice \"sometimes\""), std::string::npos) << run.output;
}

}  // namespace
}  // namespace ksw
