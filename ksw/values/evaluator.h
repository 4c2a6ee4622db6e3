// The one expression evaluator of the station. Every numeric argument of a test program is text
// that becomes a double here: command arguments while the program compiles, the values of
// #define, and the few handlers that evaluate text while a run is going.
//
// Operands, tried in this order at each operand position:
//   "+inf", "inf", "-inf" (any case)        the largest finite double, or its negative
//   a defined symbol                        the first visible define whose whole name begins the
//                                           text (case-sensitive, table order breaks ties)
//   sin( cos( tan( asin( acos( atan(        lower case only; angles in degrees
//   log( log10(                             natural and base-10 logarithm
//   "(" ... ")"                             a parenthesised expression
//   a number: 'c' (a character's code, signed 8-bit), H<hex> and B<binary> (signed 32-bit), or a
//   decimal with optional sign, point and exponent; hex, binary and decimal numbers take one
//   engineering suffix (k K M G m u n p, or "IRE" = 1/140) applied by repeated multiplication,
//   after which any letters (unit names such as V, mV, Hz, dB) are skipped.
// ad[ and rd[ are never operands (errors 12 and 13). White space is never skipped.
//
// Operators: + - * / % & | << >>. They have no precedence of their own; the station's rule is:
// after an operator, when the right operand is a "(" group or is followed by anything other than
// "+", "-" or the end, the right operand is the whole rest of the level. So 2*3+4 is 10,
// 2+3*4 is 14, 10-2*3+1 is 3 and 8/4/2 is 4. A level ends at ")", "]", "," or the end of text.
//
// Result codes: 0, 1 wrong style, 2 too big/small (function domain), 3 lacking (no number),
// 4 out of range (parse_int_arg), 7 division by 0, 12 ad[] used, 13 rd[] used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ksw {

// A view of the define table for the evaluator. The table's owner fills both fields;
// `match` is called at every operand position that is not an "inf" form.
struct SymbolLookup {
    // Looks for the first visible symbol, in table order, whose whole name equals the first
    // characters of `text` (case-sensitive; the text may go on after the name). Returns the
    // name's length (> 0) and stores the symbol's value in *value, or returns 0 and leaves
    // *value alone when no symbol matches. Must not read past text.size(); must not evaluate.
    size_t (*match)(const void *table, std::string_view text, double *value) = nullptr;
    const void *table = nullptr;  // passed back to `match`
};

// Installs the process-wide symbol lookup that evaluations without their own lookup use; null
// removes it. The lookup object must outlive every evaluation that may use it. Set it while no
// evaluation is going (the define table only changes while a program loads).
void set_symbol_lookup(const SymbolLookup *lookup);
// The installed process-wide lookup, or null.
const SymbolLookup *symbol_lookup();

// Evaluates the expression at the start of `text` (a NUL byte, if any, ends the text). On
// success stores the value and returns 0; `*stop` is the offset where evaluation stopped (at a
// ")", "]" or "," that ends the level, or text.size()). On failure returns the code; *value then
// holds the first operand when that was read, else it is unchanged, and *stop is where the
// fault was found. `symbols` null means the process-wide lookup. The stop offset is also kept
// for last_stop_position().
[[nodiscard]] int evaluate_expression(std::string_view text, double *value, size_t *stop,
                        const SymbolLookup *symbols = nullptr);
// The same, keeping the stop offset only for last_stop_position().
[[nodiscard]] int evaluate_expression(std::string_view text, double *value);

// The stop offset of the most recent evaluate_expression of any thread.
size_t last_stop_position();

// Evaluates `text` as a signed 32-bit argument: a value above 2147483647 has 4294967296
// subtracted (so unsigned 32-bit forms read as negative numbers); outside minimum..maximum is
// error 4 (nothing stored). Otherwise stores the value truncated toward zero and returns 0, or
// 1 when the value had a fraction (the truncated value is stored all the same).
[[nodiscard]] int parse_int_arg(std::string_view text, int32_t *value, int32_t minimum, int32_t maximum);

// Evaluates `text` as an unsigned 32-bit argument: a negative value has 4294967296 added; still
// negative, or above 4294967295, is error 2 (nothing stored). Otherwise stores the truncated
// value and returns 0, or 1 when the value had a fraction (the value is stored all the same).
[[nodiscard]] int parse_uint_arg(std::string_view text, uint32_t *value);

// A double as the signed 32-bit integer the integer operators work on: truncated toward zero,
// then taken modulo 2^32 when outside the 32-bit range; NaN and infinities give 0.
int32_t truncate_to_int32(double v);

}  // namespace ksw
