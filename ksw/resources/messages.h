// The message table: every text the station shows by number. Ids 0-177 are the errors of test
// programs and devices ("e000: OK" ...), 3000-3027 the system messages ("s000: ..."), and from
// 1000 on the texts of the user interface (tool tips, page titles, names, filters).
//
// Texts are stored as they are shown: "%d", "%s" and "%hs" are printf conversions that the
// caller fills ("%hs" takes a narrow text, like "%s"). An error number without a text of its own
// has the empty text, and so has every unknown id.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace ksw {

// One row of the message table.
struct MessageRow {
    int id;
    std::string_view text;
};

// The text of message `id`; the empty text when the table holds no such id.
std::string_view message_text(int id);

// All rows, sorted by id without duplicates.
std::span<const MessageRow> message_table();

// The error number range and the system-message base.
constexpr int kLastErrorId = 177;
constexpr int kSystemMessageBase = 3000;
constexpr int kLastSystemMessageId = 3027;

// Library result codes become program errors by fixed offsets. The error numbers themselves
// are named in resources/error_codes.h.
constexpr int kEvrDriverErrorOffset = 74;  // EVR driver result r -> error r + 74
constexpr int kSerialErrorOffset = 88;     // comkit32 code e -> error e + 88

// System messages (ids 3000-3027, texts "s000: ..." to "s027: ...").
enum SystemMessageId : int {
    kMsgCantMakeMonitorThread = 3000,
    kMsgCantUseSequencer = 3001,
    kMsgCantUseRemoteControl = 3002,
    kMsgCantGetScreenMemory = 3003,
    kMsgCompileError = 3005,       // step, command count, statement, error text
    kMsgCantOpenTempFile = 3006,   // file name
    kMsgCantOpenFile = 3007,       // file name
    kMsgPreprocessError = 3008,    // line, file name, statement
    kMsgBadInputData = 3009,
    kMsgCantOpenSerialPort = 3010, // port name
    kMsgCantWriteFile = 3011,
    kMsgZelwTooOld = 3012,
    kMsgComkitTooOld = 3013,
    kMsgLancDllTooOld = 3014,
    kMsg1284DllTooOld = 3015,
    kMsgCantUseLanc = 3016,
    kMsgCantUse1284 = 3017,
    kMsgValueTooSmall = 3018,
    kMsgCantReadFile = 3019,
    kMsgZelcodeTooOld = 3022,
    kMsgEvrDllTooOld = 3024,
    kMsgCantUseEvr = 3025,
    kMsgNoIdInput = 3026,
    kMsgFileAbnormal = 3027,       // file name
};

// Titles of the eight settings pages, in page order (4000-4007).
enum PageTitleId : int {
    kStrPageCompile = 4000,
    kStrPageRecord = 4001,
    kStrPageEvrComm = 4002,
    kStrPageHardware = 4003,
    kStrPageRs232c = 4004,
    kStrPageProcessCont = 4005,
    kStrPageExtention = 4006,
    kStrPageEtc = 4007,
};
constexpr int kSettingsPageCount = 8;

// String-table texts (5000 on).
enum StringId : int {
    kStrRegistryRoot = 5000,        // "Software\Orvane\KSW\"
    kStrProgramTitle = 5001,        // "KSW.exe"
    kStrHelpFile = 5016,            // help of the station and its switches
    kStrProgramFilter = 5020,       // file-chooser filter of test programs
    kStrSelectProgramTitle = 5025,  // file-chooser title of test programs
    kStrProductHelpFile = 5030,
    kStrLanguageHelpFile = 5031,
    kStrDataSavingCaption = 5041,
    kStrSettingsCaption = 5045,
    kStrRetryOk = 5047,             // the message of a run accepted on retry
};

// The caption of a message box: "<program title> - <word>" ("KSW.exe - MACRO"), or the program
// title alone when there is no word.
std::string message_caption(std::string_view word);

}  // namespace ksw
