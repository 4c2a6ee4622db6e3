// Register values as the operator reads them: the texts that show( draws and the hints and
// answers of input(. The drawing area and the console show exactly these texts.
//
//   show( word  registers per value  text of one value
//   "rd"        rd[n]                10 characters (MakeFloatStringA: 2.5 is "2.50000000")
//   "ad"        ad[n]                4 hexadecimal digits ("00FF")
//   "dad"       ad[n]                decimal, right-aligned in 5 ("  255")
//   "str"       ad[n], ad[n+1] ...   the characters up to a 0 or a value of 256 or more, at most 79
//   "cou"       ad[n]                a signed 16-bit counter, right-aligned in 6 (" -1234")
//   "vtr"       ad[n..n+3]           a tape time "hh:mm:ss:ff" (hours, minutes, seconds, frames)
//   "sta"       ad[n]                16 binary digits, bit 15 first ("0000000100000001")
// A count of c shows c values side by side, one blank apart ("str" always shows one text).
#pragma once

#include <string>
#include <string_view>

#include "values/registers.h"

namespace ksw {

enum ShowMode : int { kShowRd, kShowAd, kShowDad, kShowStr, kShowCou, kShowVtr, kShowSta };
enum InputMode : int { kInputRd, kInputAd, kInputDad, kInputStr, kInputId };

// Registers of a text block ("str" of show( and input(): 79 characters and the closing 0.
constexpr int kTextRegisters = 80;

// The text of `count` values of `mode` from register `first` (rd[] for "rd", else ad[]).
// Returns 0, or 4 when a register it would read lies outside 0..7999 (nothing stored then),
// or 6 for a mode that does not exist.
[[nodiscard]] int format_show(const Registers &registers, int mode, int first, int count, std::string *out);

// The characters of ad[first], ad[first+1], ... up to a 0 or a value of 256 or more, at most
// `limit` characters and never past ad[7999]. `first` must lie in 0..7999.
std::string ad_text(const AdFile &ad, int first, int limit);

// Writes `text` one byte per register from ad[first] on, followed by a 0. Returns 0, or 4
// (nothing written) when the text and its 0 would not end at ad[7999] or before.
[[nodiscard]] int store_ad_text(AdFile &ad, int64_t first, std::string_view text);

}  // namespace ksw
