#include "resources/messages.h"

#include <algorithm>
#include <iterator>

namespace ksw {
namespace {

// One row per message, sorted by id. Error numbers that the station never raises keep a row
// with the empty text, so that every number 0-177 has its place.
constexpr MessageRow kMessages[] = {
    // Errors: general results, arguments, arithmetic and conditional blocks.
    {0, "e000: OK"},
    {1, "e001: Wrong style of argument"},
    {2, "e002: Argument too big/small"},
    {3, "e003: Lacking argument"},
    {4, "e004: Argument out of range"},
    {5, ""},
    {6, "e006: Invalid mode"},
    {7, "e007: Devided by 0"},
    {8, "e008: log(0)"},
    {9, "e009: Sub-routine nest too deep"},
    {10, ""},
    {11, "e011: Power of minus number"},
    {12, "e012: Can't use ad[] here"},
    {13, "e013: Can't use rd[] here"},
    {14, "e014: No OK/NG in check-mode step"},
    {15, "e015: Missing #endif"},
    {16, "e016: Missing #ifdef for #else/#endif"},
    {17, "e017: Out of log file space"},
    {18, "e018: No memory of computor"},
    // Errors: runs, steps, jig ports and the A/D converter.
    {19, ""},
    {20, ""},
    {21, ""},
    {22, ""},
    {23, "e023: Cable-1 not connected"},
    {24, "e024: Cable-2 not connected"},
    {25, ""},
    {26, "e026: Step timeout"},
    {27, "e027: Breaked by user"},
    {28, "e028: Step NG"},
    {29, "e029: Undefined command"},
    {30, "e030: Step duplicated"},
    {31, "e031: Not allowed using jig(debugmode)"},
    {32, "e032: System port isn't set"},
    {33, "e033: Port isn't set"},
    {34, ""},
    {35, "e035: Step No. out of range"},
    {36, "e036: Timeout when reading AD channel"},
    {37, "e037: Jig Power is off"},
    {38, ""},
    {39, ""},
    {40, ""},
    {41, "e041: LANC:Bad page access"},
    // Errors: preprocessor and statements.
    {42, ""},
    {43, ""},
    {44, ""},
    {45, ""},
    {46, ""},
    {47, ""},
    {48, ""},
    {49, ""},
    {50, ""},
    {51, ""},
    {52, ""},
    {53, ""},
    {54, ""},
    {55, ""},
    {56, ""},
    {57, ""},
    {58, ""},
    {59, ""},
    {60, "e060: Too many #define"},
    {61, "e061: Already #define'd"},
    {62, "e062: #else duplicated"},
    {63, ""},
    {64, "e064: Macro duplicated"},
    {65, ""},
    {66, "e066: Too many macros"},
    {67, "e067: Macro too long"},
    {68, "e068: Line too long"},
    {69, "e069: Not allowed nested macros"},
    {70, "e070: '(' or ')' not exist"},
    {71, "e071: Unexpected data after ')'"},
    {72, "e072: Too many data"},
    {73, "e073: Step not exist"},
    {74, "e074: Too many parameters"},
    // Errors: EVR driver results (driver code + 74) and the EVR image.
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
    // Errors: RS-232C (serial library code + 88) and the printer.
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
    // Errors: step structure, files and measuring set-up.
    {99, "e099: 1'st command duplicated"},
    {100, "e100: Missing 1'st command"},
    {101, "e101: 1'st command must be in top of step"},
    {102, "e102: Channel specification duplicated"},
    {103, "e103: No channel specified"},
    {104, "e104: Missing NTSC/PAL specification"},
    {105, ""},
    {106, ""},
    {107, "e107: Error while openning file"},
    {108, ""},
    {109, ""},
    {110, "e110: level( ) command out of range"},
    {111, "e111: #include nested too deeply(limit=10)"},
    {112, ""},
    {113, "e113: Step is NG"},
    {114, "e114: Use input_ch(2)"},
    {115, ""},
    {116, ""},
    {117, ""},
    {118, ""},
    {119, ""},
    {120, ""},
    {121, ""},
    {122, ""},
    {123, ""},
    {124, ""},
    {125, ""},
    {126, ""},
    {127, ""},
    {128, ""},
    {129, ""},
    {130, ""},
    {131, ""},
    {132, ""},
    {133, ""},
    {134, ""},
    {135, ""},
    {136, ""},
    {137, ""},
    {138, ""},
    {139, ""},
    // Errors: GPIB, data files and the clipboard.
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
    // Errors: line-server tasks.
    {150, ""},
    {151, ""},
    {152, "e152: TASK:Missing Server"},
    {153, "e153: TASK:Can't comm. with server"},
    {154, "e154: TASK:No data"},
    {155, "e155: TASK:RX timeout"},
    {156, "e156: TASK:RX error"},
    {157, "e157: TASK:Can't read RX buffer"},
    {158, "e158: TASK:TX timeout"},
    {159, ""},
    {160, ""},
    {161, ""},
    {162, ""},
    {163, ""},
    {164, ""},
    {165, ""},
    {166, ""},
    {167, ""},
    {168, ""},
    {169, ""},
    // Errors: EVR link types, link groups and adjustment.
    {170, "e170: Not supported COM type"},
    {171, "e171: COM:Missing DLLt"},
    {172, "e172: Can't make link"},
    {173, "e173: Link duplicated or Backword link"},
    {174, "e174: Missing evr_adj()"},
    {175, "e175: EVR isn't 8-bit width"},
    {176, "e176: can't jump from linked step"},
    {177, "e177: Index no not specified"},
    // Tool tips of the tool-bar buttons: the text id is the button's command id.
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
    // System messages.
    {3000, "s000: [internal error]Can't make monitor thread"},
    {3001, "s001: [Internal error]Can't use sequencer"},
    {3002, "s002: [internal error]Can't use remo-con"},
    {3003, "s003: [internal error]Can't get screen memory"},
    {3004, ""},
    {3005, "s005: Compile error\nStep %d - %d\n[%hs]\n%s"},
    {3006, "s006: [%s]\nCan't open temporary file"},
    {3007, "s007: [%s]\nCan't open file"},
    {3008, "s008: PreProcess error\nLine %d File %s\n[%s]\n"},
    {3009, "s009: Bad style of input data"},
    {3010, "s010: Can't open RS-232C port %s "},
    {3011, "s011: Can't write file."},
    {3012, "s012: Missing ZELW.DLL or too old"},
    {3013, "s013: COMKIT32.DLL is too old"},
    {3014, "s014: Missing DLL for LANC or too old"},
    {3015, "s015: Missing DLL for IEEE1284 or too old"},
    {3016, "s016: Can't use LANC(Missing DLL)"},
    {3017, "s017: Can't use IEEE1284(Missing DLL)"},
    {3018, "s018: Value too small. Re-measure."},
    {3019, "s019: Can't read file."},
    {3020, ""},
    {3021, ""},
    {3022, "s022: ZELCODE.DLL is too old"},
    {3023, ""},
    {3024, "s024: Missing DLL for EVR or too old"},
    {3025, "s025: Can't use EVR(Missing DLL)"},
    {3026, "s026: No ID input. Use old ID ?"},
    {3027, "s027: [%s]\nFile is abnormal"},
    // Titles of the settings pages, in page order.
    {4000, "Compile"},
    {4001, "Record"},
    {4002, "EVR&&Comm."},
    {4003, "Hardware"},
    {4004, "RS232C"},
    {4005, "ProcessCont."},
    {4006, "Extention"},
    {4007, "Etc"},
    // Names, captions and file-chooser texts.
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

// Whether `rows` is sorted by id with no id twice.
constexpr bool ids_ascending(std::span<const MessageRow> rows) {
    for (size_t i = 1; i < rows.size(); ++i) {
        if (rows[i - 1].id >= rows[i].id) return false;
    }
    return true;
}

static_assert(ids_ascending(kMessages), "the message table must be sorted by id");

}  // namespace

// Binary search over the sorted table; "" for an id without a row.
std::string_view message_text(int id) {
    const auto *it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                                      [](const MessageRow &row, int key) { return row.id < key; });
    if (it == std::end(kMessages) || it->id != id) return {};
    return it->text;
}

// The whole table, for iteration.
std::span<const MessageRow> message_table() { return kMessages; }

std::string message_caption(std::string_view word) {
    std::string caption(message_text(kStrProgramTitle));
    if (!word.empty()) {
        caption += " - ";
        caption += word;
    }
    return caption;
}

}  // namespace ksw
