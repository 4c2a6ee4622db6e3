// Result codes: 0 success, a positive number n is message n of the message table, and a run
// handler's -1 means "leave the normal order and take the jump target".
#pragma once

namespace ksw {

enum ErrorCode : int {
    kOk = 0,
    kJump = -1,
    kErrWrongStyle = 1,          // "e001: Wrong style of argument"
    kErrTooBigSmall = 2,         // "e002: Argument too big/small"
    kErrLackingArgument = 3,     // "e003: Lacking argument"
    kErrOutOfRange = 4,          // "e004: Argument out of range"
    kErrInvalidMode = 6,         // "e006: Invalid mode"
    kErrDividedByZero = 7,       // "e007: Devided by 0"
    kErrLogZero = 8,             // "e008: log(0)"
    kErrNestTooDeep = 9,         // "e009: Sub-routine nest too deep"
    kErrPowerOfMinus = 11,       // "e011: Power of minus number"
    kErrAdNotAllowed = 12,       // "e012: Can't use ad[] here"
    kErrRdNotAllowed = 13,       // "e013: Can't use rd[] here"
    kErrNoOkNg = 14,             // "e014: No OK/NG in check-mode step"
    kErrMissingEndif = 15,       // "e015: Missing #endif"
    kErrMissingIfdef = 16,       // "e016: Missing #ifdef for #else/#endif"
    kErrNoMemory = 18,           // "e018: No memory of computor"
    kErrStepTimeout = 26,        // "e026: Step timeout"
    kErrBreakedByUser = 27,      // "e027: Breaked by user"
    kErrStepNg = 28,             // "e028: Step NG"
    kErrUndefinedCommand = 29,   // "e029: Undefined command"
    kErrStepDuplicated = 30,     // "e030: Step duplicated"
    kErrDebugMode = 31,          // "e031: Not allowed using jig(debugmode)"
    kErrStepOutOfRange = 35,     // "e035: Step No. out of range"
    kErrTooManyDefines = 60,     // "e060: Too many #define"
    kErrAlreadyDefined = 61,     // "e061: Already #define'd"
    kErrElseDuplicated = 62,     // "e062: #else duplicated"
    kErrMacroDuplicated = 64,    // "e064: Macro duplicated"
    kErrTooManyMacros = 66,      // "e066: Too many macros"
    kErrMacroTooLong = 67,       // "e067: Macro too long"
    kErrLineTooLong = 68,        // "e068: Line too long"
    kErrNestedMacro = 69,        // "e069: Not allowed nested macros"
    kErrBracketMissing = 70,     // "e070: '(' or ')' not exist"
    kErrDataAfterBracket = 71,   // "e071: Unexpected data after ')'"
    kErrTooManyData = 72,        // "e072: Too many data"
    kErrStepNotExist = 73,       // "e073: Step not exist"
    kErrTooManyParameters = 74,  // "e074: Too many parameters"
    kErrFirstDuplicated = 99,    // "e099: 1'st command duplicated"
    kErrMissingFirst = 100,      // "e100: Missing 1'st command"
    kErrFirstNotOnTop = 101,     // "e101: 1'st command must be in top of step"
    kErrChannelDuplicated = 102, // "e102: Channel specification duplicated"
    kErrNoChannel = 103,         // "e103: No channel specified"
    kErrNoVideoStandard = 104,   // "e104: Missing NTSC/PAL specification"
    kErrOpenFile = 107,          // "e107: Error while openning file"
    kErrLevelRange = 110,        // "e110: level( ) command out of range"
    kErrIncludeTooDeep = 111,    // "e111: #include nested too deeply(limit=10)"
    kErrStepIsNg = 113,          // "e113: Step is NG"
    kErrUseInputCh2 = 114,       // "e114: Use input_ch(2)"
    kErrNotSupportedComType = 170,  // "e170: Not supported COM type"
    kErrLinkDuplicated = 173,    // "e173: Link duplicated or Backword link"
    kErrMissingEvrAdj = 174,     // "e174: Missing evr_adj()"
    kErrJumpFromLinked = 176,    // "e176: can't jump from linked step"
};

}  // namespace ksw
