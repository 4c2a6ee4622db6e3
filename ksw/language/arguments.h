// The argument toolkit every compiler stage shares: splitting an argument text into fields,
// matching a field against abbreviated choice words, and recording the registers a program names.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/program_model.h"
#include "platform/ascii.h"

namespace ksw {

// Splits `text` (the arguments after a keyword's "(") into `n` fields, stored in `fields`.
// A field ends at a comma outside quotes and round brackets, at the ")" that closes the
// keyword's own bracket (the rest of the text is cut off), at a ";" outside quotes (likewise), or
// at the end of the text. Double quotes only switch quoting on and off and are removed; a
// backslash makes the next character plain and is removed, except before "x", where both stay
// for the byte-string escapes; a double-byte character is copied whole. Returns 0, or e003 when
// any of the n fields is empty; handlers split again with a larger n and take e003 as "the
// optional field is absent". A field written as "" is present and holds the empty text.
[[nodiscard]] int split_args(std::string_view text, int n, std::vector<std::string> &fields);

// True when `text` begins with `word`, the letters A..Z of `text` taken as lower case (`word` is
// written in lower case: "ad[", "#include", a keyword, a choice word).
inline bool starts_with_word(std::string_view text, std::string_view word) {
    return platform::starts_with_nocase(text, word);
}

// The index of the first word of `words` that begins `field` (ASCII case ignored: "ADJUST" and
// "adj" both match "adj", "ad" does not). Returns 0 with the index in `index`, or e006.
[[nodiscard]] int parse_choice(std::string_view field, std::span<const std::string_view> words, int *index);
[[nodiscard]] inline int parse_choice(std::string_view field, std::initializer_list<std::string_view> words, int *index) {
    return parse_choice(field, std::span<const std::string_view>(words.begin(), words.size()), index);
}

// Records that a program names registers of one file: an index outside 0..7999 is ignored;
// count -1 marks the start of a block whose end is known only at run time (255); a positive
// count marks index..index+count-1 as named (1), stopping at the end of the file and never
// overwriting a block start.
void mark_registers(std::array<uint8_t, kRegisterCount> &map, int index, int count);

}  // namespace ksw
