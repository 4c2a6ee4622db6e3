#include "language/arguments.h"

#include "language/dbcs.h"
#include "resources/error_codes.h"

namespace ksw {
namespace {

// Reads one field from `text` at `*pos` into `out`. Returns false when the field is empty.
// Sets `*cut` when the field ended at the closing bracket or a ";", which ends the whole text.
bool read_field(std::string_view text, size_t *pos, bool *cut, std::string *out) {
    out->clear();
    const size_t start = *pos;
    int depth = 0;
    bool quoted = false;
    size_t i = *pos;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\') {
            if (i + 1 < text.size() && text[i + 1] == 'x') {
                out->append("\\x");
            } else if (i + 1 < text.size()) {
                out->push_back(text[i + 1]);
            }
            i += 2;
            continue;
        }
        if (is_lead_byte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
            out->append(text.substr(i, 2));
            i += 2;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            ++i;
            continue;
        }
        if (!quoted) {
            if (c == ',' && depth == 0) {
                *pos = i + 1;
                return i > start;
            }
            if (c == ';' || (c == ')' && depth == 0)) {
                *cut = true;
                *pos = text.size();
                return i > start;
            }
            if (c == '(') ++depth;
            if (c == ')') --depth;
        }
        out->push_back(c);
        ++i;
    }
    *pos = text.size();
    return text.size() > start;
}

}  // namespace

int split_args(std::string_view text, int n, std::vector<std::string> &fields) {
    if (n < 0) n = 0;
    fields.resize(static_cast<size_t>(n));
    size_t pos = 0;
    bool cut = false;
    int rc = kOk;
    for (int f = 0; f < n; ++f) {
        if (cut || pos >= text.size()) {
            fields[f].clear();
            rc = kErrLackingArgument;
            continue;
        }
        if (!read_field(text, &pos, &cut, &fields[f])) rc = kErrLackingArgument;
    }
    return rc;
}

int parse_choice(std::string_view field, std::span<const std::string_view> words, int *index) {
    int i = 0;
    for (const std::string_view word : words) {
        if (!word.empty() && starts_with_word(field, word)) {
            *index = i;
            return kOk;
        }
        ++i;
    }
    return kErrInvalidMode;
}

void mark_registers(std::array<uint8_t, kRegisterCount> &map, int index, int count) {
    if (index < 0 || index >= kRegisterCount) return;
    if (count == -1) {
        map[index] = 255;
        return;
    }
    for (int i = index; count > 0 && i < kRegisterCount; ++i, --count)
        if (map[i] != 255) map[i] = 1;
}

}  // namespace ksw
