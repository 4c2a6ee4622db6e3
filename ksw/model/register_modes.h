// The register commands: how their run handlers (run_clear, run_setdata, run_setaddata,
// run_calcad, run_calcrd, run_copy, run_copyad, run_movead, declared in compiler/handlers.h)
// read the command record, and the sub-mode numbers of their choice words. Every integer slot
// may be an ad[] operand and every real slot an rd[] operand (register mask); a register number
// that an operand yields is tested when it is used (error 4 outside 0..7999).
//
//   clear(                    no operands.
//   setdata(n, v)             slot 0 = n (rd[] number), real 0 = v.
//   setaddata(n, v)           sub-mode 0: slot 0 = n, slot 1 = v (-65535..65535; negative values
//                             have 65536 added). Sub-mode 1: slot 0 = n, slot 1 = the byte count
//                             with the terminating zero, `text` = the bytes (a missing
//                             terminating zero is supplied).
//   calcad(op, a, b, c)       sub-mode = op, slots 0..2 = a, b, c (ad[] numbers).
//   calcrd(op, a, b, c)       sub-mode = op, slots 0..2 = a, b, c (rd[] numbers; ima and imi
//                             write ad[c]).
//   copyad(mode, a, b, ...)   sub-mode = mode, slot 0 = a (source), slot 1 = b (destination);
//   copy(mode, a, b, ...)     block modes: slots 2..5 = count, skip, group, rep (defaults 1, 0,
//                             1, 1); value modes: real 0 = x.
//   movead(mode, r, v, a ...) sub-mode = mode, slot 0 = r (rd[] number), slot 1 = a (ad[]
//                             number), slot 2 = count n, slot 3 = stride s; real 0 = the factor
//                             k ("dir", "inv", "int"), the mask ("and", 0..65535) or the scale a
//                             ("ave", "max"); real 1 = the gain 10^(|b|/20) ("ave", "max").
//
// movead( modes whose arithmetic is this station's own choice, over the n values
// ad[a], ad[a+s], ..., ad[a+(n-1)s]:
//   "and"  rd[r+i] = ad[a+i*s] AND (real 0 truncated to 16 bits)
//   "ave"  rd[r]   = mean of the n values * real 0 * real 1
//   "max"  rd[r]   = largest of the n values * real 0 * real 1
// copy( "fft" writes rd[b+k] = |X(k)| for k = 0..n-1, the magnitude of the unnormalised
// discrete Fourier transform X of rd[a..a+n-1].
#pragma once

#include <array>
#include <string_view>

namespace ksw {

enum CalcadMode : int {
    kCalcadSub, kCalcadAdd, kCalcadDiv, kCalcadMul, kCalcadMax, kCalcadMin, kCalcadAve,
    kCalcadPercent, kCalcadWor, kCalcadAnd, kCalcadOr, kCalcadIma, kCalcadImi, kCalcadMod,
    kCalcad2av, kCalcadSum, kCalcadXor, kCalcadByt,
};

enum CalcrdMode : int {
    kCalcrdSub, kCalcrdAdd, kCalcrdDiv, kCalcrdMul, kCalcrdMax, kCalcrdMin, kCalcrdAve,
    kCalcrdPercent, kCalcrdDbd, kCalcrdIma, kCalcrdImi, kCalcrd2av, kCalcrdPow, kCalcrdSum,
    kCalcrdLog,
};

enum CopyadMode : int {
    kCopyadCopy, kCopyadNot, kCopyadRev, kCopyadBcd, kCopyadHex, kCopyadLm, kCopyadByt,
    kCopyadIby,  // last block mode
    kCopyadStr, kCopyadAdd, kCopyadSub, kCopyadAnd, kCopyadOr, kCopyadDiv, kCopyadMul,
    kCopyadRig, kCopyadLef, kCopyadSpi, kCopyadMod, kCopyadISub, kCopyadIDiv, kCopyadAve,
    kCopyadIri, kCopyadIle, kCopyadBit, kCopyadXor,
};

enum CopyMode : int {
    kCopyCopy, kCopyLog, kCopyDb, kCopyRev, kCopyRec, kCopyAbs, kCopySin, kCopyCos, kCopyTan,
    kCopyAsi, kCopyAco, kCopyAta,
    kCopyLn,  // last block mode
    kCopyDiv, kCopyMul, kCopyAdd, kCopySub, kCopySpi, kCopyPow, kCopyISub, kCopyIDiv,
    kCopyAve, kCopyFlo, kCopyTri, kCopyFft,
};

enum MoveadMode : int {
    kMoveadDir, kMoveadInv, kMoveadAnd, kMoveadAve, kMoveadMax,
    kMoveadAssign,  // "=": the compiler stores it as "dir"; the run side treats it alike
    kMoveadInt,
};

// The choice words of each command in sub-mode order; the compile handlers match them, the run
// handlers switch on the enums, and the sizes keep the two in step.
inline constexpr std::array<std::string_view, kCalcadByt + 1> kCalcadWords{
    "-", "+", "/", "*", "max", "min", "ave", "%", "wor", "and", "or", "ima", "imi", "mod", "2av", "sum", "xor", "byt"};
inline constexpr std::array<std::string_view, kCalcrdLog + 1> kCalcrdWords{
    "-", "+", "/", "*", "max", "min", "ave", "%", "dbd", "ima", "imi", "2av", "pow", "sum", "log"};
inline constexpr std::array<std::string_view, kCopyadXor + 1> kCopyadWords{
    "=", "~", "rev", "bcd", "hex", "lm", "byt", "iby", "str", "+", "-", "and", "or",
    "/", "*", "rig", "lef", "spi", "mod", "i-", "i/", "ave", "iri", "ile", "bit", "xor"};
inline constexpr std::array<std::string_view, kCopyFft + 1> kCopyWords{
    "=", "log", "db", "rev", "rec", "abs", "sin", "cos", "tan", "asi", "aco", "ata", "ln",
    "/", "*", "+", "-", "spi", "pow", "i-", "i/", "ave", "flo", "tri", "fft"};
inline constexpr std::array<std::string_view, kMoveadInt + 1> kMoveadWords{"dir", "inv", "and", "ave", "max", "=", "int"};
static_assert(kCopyadWords[kCopyadIby] == "iby" && kCopyadWords[kCopyadStr] == "str" && kCopyWords[kCopyLn] == "ln" &&
              kCopyWords[kCopyFlo] == "flo" && kMoveadWords[kMoveadAssign] == "=" && kCalcadWords[kCalcadIma] == "ima" &&
              kCalcrdWords[kCalcrdIma] == "ima");

}  // namespace ksw
