// Registers as text, the form rwfile( writes to files and the clipboard and reads back:
// rd[] values as decimal numbers that read back to the same double, ad[] as "%04X"
// (class "ad") or "%d" (class "dad"); values separated by "," and lines ended by CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "values/registers.h"

namespace ksw {

// The register file and the number form of a transfer (the rwfile( class word).
enum class RegisterText { rd, hex_ad, decimal_ad };

// count values from register `first` on, "," between them, CR LF after every `per_line`
// values (0: none) and at the end. The caller has checked the block against the file.
std::string format_registers(const Registers &registers, RegisterText form, int32_t first, int32_t count,
                             int32_t per_line);

// Lines of text stored into consecutive registers. Fields are separated by commas, blanks, tabs
// and CRs; a field that begins with ";", "{" or a double quote ends its line. The first `skip`
// fields of the text are passed over; each further field is converted (a decimal or hexadecimal
// number read from its start, as "%lf", "%lx" or "%ld" read it; an ad[] register takes the
// value's low 16 bits) and stored, until `count` registers are filled.
class RegisterTextReader {
public:
    static constexpr size_t kLongestLine = 259;  // bytes before the line feed

    RegisterTextReader(Registers &registers, RegisterText form, int32_t first, int32_t count, int64_t skip)
        : registers_(registers), form_(form), next_(first), left_(count), skip_(skip) {}

    // Takes one line without its line feed. Returns 0; e148 "Wrong file contents" for a line
    // longer than kLongestLine or a field that holds no number; e072 "Too many data" when a
    // value would go past ad[7999] or rd[7999]. Registers stored before a failure keep their
    // new values; none after it is touched.
    int take_line(std::string_view line);
    // Splits `text` at line feeds and takes each line; a last line without a line feed is held
    // until finish() (text may come in pieces). Stops taking once done().
    int take_text(std::string_view text);
    // Takes the held last line, if any.
    int finish();

    bool done() const { return left_ <= 0; }
    int32_t stored() const { return stored_; }

private:
    int store(std::string_view field);

    Registers &registers_;
    RegisterText form_;
    int32_t next_;
    int32_t left_;
    int64_t skip_;
    int32_t stored_ = 0;
    std::string partial_;
};

}  // namespace ksw
