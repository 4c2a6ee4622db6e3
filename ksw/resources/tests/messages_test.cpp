#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <string_view>

#include "resources/messages.h"

namespace ksw {
namespace {

struct QuotedText {
    int id;
    std::string_view text;
};

// The station's fixed texts with their ids, written out by hand: the table must hold each one
// byte for byte.
constexpr QuotedText kQuoted[] = {
    {0, "e000: OK"},
    {1, "e001: Wrong style of argument"},
    {2, "e002: Argument too big/small"},
    {3, "e003: Lacking argument"},
    {4, "e004: Argument out of range"},
    {6, "e006: Invalid mode"},
    {7, "e007: Devided by 0"},
    {8, "e008: log(0)"},
    {9, "e009: Sub-routine nest too deep"},
    {11, "e011: Power of minus number"},
    {12, "e012: Can't use ad[] here"},
    {13, "e013: Can't use rd[] here"},
    {14, "e014: No OK/NG in check-mode step"},
    {15, "e015: Missing #endif"},
    {16, "e016: Missing #ifdef for #else/#endif"},
    {17, "e017: Out of log file space"},
    {18, "e018: No memory of computor"},
    {23, "e023: Cable-1 not connected"},
    {24, "e024: Cable-2 not connected"},
    {26, "e026: Step timeout"},
    {27, "e027: Breaked by user"},
    {28, "e028: Step NG"},
    {29, "e029: Undefined command"},
    {30, "e030: Step duplicated"},
    {31, "e031: Not allowed using jig(debugmode)"},
    {32, "e032: System port isn't set"},
    {33, "e033: Port isn't set"},
    {35, "e035: Step No. out of range"},
    {36, "e036: Timeout when reading AD channel"},
    {37, "e037: Jig Power is off"},
    {41, "e041: LANC:Bad page access"},
    {60, "e060: Too many #define"},
    {61, "e061: Already #define'd"},
    {62, "e062: #else duplicated"},
    {64, "e064: Macro duplicated"},
    {66, "e066: Too many macros"},
    {67, "e067: Macro too long"},
    {68, "e068: Line too long"},
    {69, "e069: Not allowed nested macros"},
    {70, "e070: '(' or ')' not exist"},
    {71, "e071: Unexpected data after ')'"},
    {72, "e072: Too many data"},
    {73, "e073: Step not exist"},
    {74, "e074: Too many parameters"},
    {75, "e075: COM:Communication error"},
    {76, "e076: COM:Invalid of RX status"},
    {77, "e077: COM:Write error"},
    {78, "e078: COM:Error while reading/writing EVR"},
    {79, "e079: COM:Internal error"},
    {80, "e080: COM Misc. error"},
    {81, "e081: COM TX timeout"},
    {82, "e082: COM RX timeout"},
    {83, "e083: COM No set connected"},
    {84, "e084: COM Illegal data"},
    {85, "e085: COM Wrong command/argument"},
    {86, "e086: EVR ram data not set"},
    {87, "e087: 232C:Port not open"},
    {88, "e088: 232C:Can't open RS-232C"},
    {89, "e089: 232C:TX error"},
    {90, "e090: 232C:RX error"},
    {91, "e091: 232C:TX timeout"},
    {92, "e092: 232C:RX timeout"},
    {93, "e093: 232C:Too many RX chars."},
    {94, "e094: 232C:Framing error"},
    {95, "e095: 232C:Overrun error"},
    {96, "e096: 232C:Parity error"},
    {97, "e097: 232C:Misc. error"},
    {98, "e098: Can't open printer"},
    {99, "e099: 1'st command duplicated"},
    {100, "e100: Missing 1'st command"},
    {101, "e101: 1'st command must be in top of step"},
    {102, "e102: Channel specification duplicated"},
    {103, "e103: No channel specified"},
    {104, "e104: Missing NTSC/PAL specification"},
    {107, "e107: Error while openning file"},
    {110, "e110: level( ) command out of range"},
    {111, "e111: #include nested too deeply(limit=10)"},
    {113, "e113: Step is NG"},
    {140, "e140: GPIB:Missing GPIB board"},
    {141, "e141: GPIB:Wrong parameter"},
    {142, "e142: GPIB:STB RX Timeout"},
    {143, "e143: GPIB:RX error"},
    {144, "e144: GPIB:RX/TX timeout"},
    {145, "e145: GPIB:terminated by IFC"},
    {146, "e146: GPIB:Miscelneous error"},
    {147, "e147: GPIB:Missing DLL"},
    {148, "e148: Wrong file contents"},
    {149, "e149: Cannot open clipboard"},
    {152, "e152: TASK:Missing Server"},
    {153, "e153: TASK:Can't comm. with server"},
    {154, "e154: TASK:No data"},
    {155, "e155: TASK:RX timeout"},
    {156, "e156: TASK:RX error"},
    {157, "e157: TASK:Can't read RX buffer"},
    {158, "e158: TASK:TX timeout"},
    {170, "e170: Not supported COM type"},
    {171, "e171: COM:Missing DLLt"},
    {172, "e172: Can't make link"},
    {173, "e173: Link duplicated or Backword link"},
    {174, "e174: Missing evr_adj()"},
    {175, "e175: EVR isn't 8-bit width"},
    {176, "e176: can't jump from linked step"},
    {177, "e177: Index no not specified"},
    {1000, "START(Enter)"},
    {1001, "ABORT"},
    {1002, "HALT(ESC)"},
    {1004, "EXEC STEP0(Ctrl+0)"},
    {1005, "EDIT(Ctrl+E)"},
    {1200, "EXIT(Alt+X)"},
    {1300, "RE_LOAD(Ctrl+Down)"},
    {1301, "SELECT FILE(HOME)"},
    {1509, "Help(Ctrl+H)"},
    {1616, "AutoAdj. ON/OFF(Ctrl-D)"},
    {1620, "DB ON/OFF(Ctrl-B)"},
    {3000, "s000: [internal error]Can't make monitor thread"},
    {3001, "s001: [Internal error]Can't use sequencer"},
    {3002, "s002: [internal error]Can't use remo-con"},
    {3003, "s003: [internal error]Can't get screen memory"},
    {3005, "s005: Compile error\nStep %d - %d\n[%hs]\n%s"},
    {3006, "s006: [%s]\nCan't open temporary file"},
    {3007, "s007: [%s]\nCan't open file"},
    {3008, "s008: PreProcess error\nLine %d File %s\n[%s]\n"},
    {3009, "s009: Bad style of input data"},
    {3010, "s010: Can't open RS-232C port %s "},
    {3011, "s011: Can't write file."},
    {3012, "s012: Missing ZELW.DLL or too old"},
    {3013, "s013: COMKIT32.DLL is too old"},
    {3018, "s018: Value too small. Re-measure."},
    {3022, "s022: ZELCODE.DLL is too old"},
    {3024, "s024: Missing DLL for EVR or too old"},
    {3025, "s025: Can't use EVR(Missing DLL)"},
    {3026, "s026: No ID input. Use old ID ?"},
    {3027, "s027: [%s]\nFile is abnormal"},
    {4000, "Compile"},
    {4001, "Record"},
    {4002, "EVR&&Comm."},
    {4003, "Hardware"},
    {4004, "RS232C"},
    {4005, "ProcessCont."},
    {4006, "Extention"},
    {4007, "Etc"},
    {5000, "Software\\Orvane\\KSW\\"},
    {5001, "KSW.exe"},
    {5016, "zelw.chm"},
    {5020, "KS Files(*.ks)|*.KS|All Files(*.*)|*.*|"},
    {5025, "Select user program"},
    {5030, "kelvo.chm"},
    {5031, "ksw.chm"},
    {5041, "Data saving"},
    {5045, "CUSTOMIZE"},
    {5047, "e000: Retry OK"},
};

// The prefix "eNNN: " or "sNNN: " that a numbered message starts with.
std::string numbered_prefix(char letter, int number) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%c%03d: ", letter, number);
    return prefix;
}

TEST(Messages, HoldsEveryQuotedTextUnderItsId) {
    for (const QuotedText &q : kQuoted) EXPECT_EQ(message_text(q.id), q.text) << "id " << q.id;
    // The s010 text ends in a blank, which a trimmed copy would lose.
    EXPECT_EQ(message_text(kMsgCantOpenSerialPort).back(), ' ');
}

TEST(Messages, TableIsSortedWithoutDuplicateIds) {
    const auto table = message_table();
    ASSERT_FALSE(table.empty());
    for (size_t i = 1; i < table.size(); ++i) {
        EXPECT_LT(table[i - 1].id, table[i].id) << "row " << i;
    }
}

TEST(Messages, EveryErrorNumberHasARowAndItsOwnPrefix) {
    std::set<int> ids;
    for (const MessageRow &row : message_table()) ids.insert(row.id);
    int with_text = 0;
    for (int id = 0; id <= kLastErrorId; ++id) {
        EXPECT_TRUE(ids.count(id)) << "error " << id << " has no row";
        const std::string_view text = message_text(id);
        if (text.empty()) continue;
        ++with_text;
        EXPECT_EQ(text.substr(0, 6), numbered_prefix('e', id)) << text;
        EXPECT_GT(text.size(), 6u) << "error " << id << " has a prefix but no text";
    }
    EXPECT_EQ(with_text, 104);  // the 103 quoted texts and the one written for e114
    EXPECT_FALSE(message_text(114).empty());  // raised by chroma_mode( without input_ch(2)
}

TEST(Messages, SystemMessagesCarryTheirNumberAndTheNamedOnesHaveText) {
    for (int id = kSystemMessageBase; id <= kLastSystemMessageId; ++id) {
        const std::string_view text = message_text(id);
        if (text.empty()) continue;
        EXPECT_EQ(text.substr(0, 6), numbered_prefix('s', id - kSystemMessageBase)) << text;
    }
    const int named[] = {kMsgCantMakeMonitorThread, kMsgCantUseSequencer, kMsgCantUseRemoteControl,
                         kMsgCantGetScreenMemory,   kMsgCompileError,     kMsgCantOpenTempFile,
                         kMsgCantOpenFile,          kMsgPreprocessError,  kMsgBadInputData,
                         kMsgCantOpenSerialPort,    kMsgCantWriteFile,    kMsgZelwTooOld,
                         kMsgComkitTooOld,          kMsgLancDllTooOld,    kMsg1284DllTooOld,
                         kMsgCantUseLanc,           kMsgCantUse1284,      kMsgValueTooSmall,
                         kMsgCantReadFile,          kMsgZelcodeTooOld,    kMsgEvrDllTooOld,
                         kMsgCantUseEvr,            kMsgNoIdInput,        kMsgFileAbnormal};
    for (int id : named) EXPECT_FALSE(message_text(id).empty()) << "message " << id;
}

TEST(Messages, LibraryCodesLandOnTheirErrorTexts) {
    EXPECT_EQ(message_text(kEvrDriverErrorOffset + 9), "e083: COM No set connected");
    EXPECT_EQ(message_text(kSerialErrorOffset + 4), "e092: 232C:RX timeout");
    for (int r = 1; r <= 11; ++r) {
        EXPECT_EQ(message_text(kEvrDriverErrorOffset + r).substr(6, 3), "COM") << "driver code " << r;
    }
    for (int e = 1; e <= 9; ++e) {
        EXPECT_EQ(message_text(kSerialErrorOffset + e).substr(6, 5), "232C:") << "serial code " << e;
    }
}

TEST(Messages, PageTitlesAreComplete) {
    for (int i = 0; i < kSettingsPageCount; ++i) EXPECT_FALSE(message_text(kStrPageCompile + i).empty());
    EXPECT_EQ(message_text(kStrPageEtc), "Etc");
    EXPECT_EQ(message_text(kStrPageCompile + kSettingsPageCount), "");
}

TEST(Messages, UnknownIdsAreEmpty) {
    for (int id : {-1, 5, 178, 999, 1003, 3004, 3028, 4999, 5048, 999999}) {
        EXPECT_EQ(message_text(id), "") << "id " << id;
    }
}

}  // namespace
}  // namespace ksw
