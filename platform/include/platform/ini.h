// The private-profile file: "[section]" lines and "key=value" lines, sections and keys matched
// without regard to case, the first of two equal sections or keys winning. Reading a missing
// file, section or key gives the caller's default. A line is read as a C string would be (a NUL
// byte ends what it says), and a UTF-8 byte-order mark before the first line is passed over.
// Writing keeps every other line byte for byte (comments, order, unknown keys and sections, NUL
// bytes and all) and ends every line with CR LF; the file is replaced atomically, so a crash
// never leaves half a settings file behind. UTF-16 text is not taken at all: such a file is
// refused whole rather than read as garbage and rewritten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"  // equal_nocase, as sections and keys compare

namespace ksw::platform {

class IniFile {
public:
    // Reads `path`. A missing file gives an empty document and true; a file that exists but
    // cannot be read or parsed (a folder, FIFO or device, larger than kIniSizeLimit, UTF-16
    // text) gives an empty document, false, and the reason naming the file in `error`.
    bool load(const std::string &path, std::string *error = nullptr);
    // Replaces the document by `text` (LF or CR LF line ends). Text in UTF-16 leaves an empty
    // document and gives false with the reason in `error`.
    bool parse(std::string_view text, std::string *error = nullptr);
    // The document as file bytes, every line ending in CR LF.
    std::string text() const;
    // Writes text() to `path` atomically; false with the reason in `error` on failure.
    bool save(const std::string &path, std::string *error = nullptr) const;

    // The value of `key` in `section`: blanks around it removed and one pair of enclosing
    // quotes (" or ') taken off. nullopt when the section or key is missing.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    // The value with only the blanks around it removed (quotes kept).
    std::optional<std::string> get_raw(std::string_view section, std::string_view key) const;
    bool has_section(std::string_view section) const;
    // Key names of `section` in file order, and section names in file order.
    std::vector<std::string> keys(std::string_view section) const;
    std::vector<std::string> sections() const;

    // Sets `key` in `section`: an existing line is rewritten in place, a new key goes after the
    // section's last key line, a new section is appended at the end. A value is cut at its
    // first CR, LF or NUL, so no value can break the file into extra lines.
    void set(std::string_view section, std::string_view key, std::string_view value);
    // Appends an empty "[section]" when the document has none of that name.
    void add_section(std::string_view section);
    // Removes the key line; removes the section header and all its lines.
    void erase(std::string_view section, std::string_view key);
    void erase_section(std::string_view section);

    bool empty() const { return lines_.empty(); }

private:
    struct Line {
        std::string raw;      // the line as it stands in the file, without its end
        std::string section;  // the section that holds it (for headers: their own name)
        std::string key;      // trimmed key of a key line, else empty
        std::string value;    // trimmed value of a key line
        bool header = false;
    };
    std::vector<Line> lines_;

    // `skip` bytes at the start of `raw` (a byte-order mark) are kept but not read.
    static Line make_line(std::string raw, const std::string &current_section, size_t skip = 0);
    long find_key(std::string_view section, std::string_view key) const;
    long find_header(std::string_view section) const;
};

// The largest settings or registry file that is read.
constexpr size_t kIniSizeLimit = size_t{4} << 20;

// Reads an integer the way the settings file is read: optional blanks, an optional sign, then
// decimal digits up to the first non-digit; 0 when there are no digits. Wraps like a 32-bit int.
int profile_int_from_text(std::string_view text);

// Reads the same form as profile_int_from_text without wrapping: true with the number in `*out`
// when it lies in [min, max]; false, leaving `*out` alone, when the digits name a number outside
// it (however many digits there are).
bool profile_int_in_range(std::string_view text, int64_t min, int64_t max, int64_t *out);

// The three profile calls over a file path. get_profile_string returns `fallback` when the file,
// section or key is missing; get_profile_int does the same and otherwise reads the value with
// profile_int_from_text. write_profile_string returns false when the file cannot be written.
std::string get_profile_string(std::string_view section, std::string_view key, std::string_view fallback,
                               const std::string &path);
int get_profile_int(std::string_view section, std::string_view key, int fallback, const std::string &path);
bool write_profile_string(std::string_view section, std::string_view key, std::string_view value,
                          const std::string &path);


}  // namespace ksw::platform
