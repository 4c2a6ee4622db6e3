#include "language/usage_report.h"

#include <array>
#include <cstdio>

#include "platform/files.h"
#include "resources/error_codes.h"
#include "resources/messages.h"
#include "resources/format.h"

namespace ksw {
namespace {

constexpr uint8_t kNamed = 1;
constexpr uint8_t kOpenBlock = 255;

// Appends one CR LF line of the report for the run first..last of register file `name`.
void append_run(std::string *out, const char *name, int first, int last) {
    std::array<char, 40> line{};
    if (first == last) std::snprintf(line.data(), line.size(), "%s[%d]\r\n", name, first);
    else std::snprintf(line.data(), line.size(), "%s[%d]-%s[%d]\r\n", name, first, name, last);
    out->append(line.data());
}

// Appends the lines of one map.
void append_map(std::string *out, const char *name, const std::array<uint8_t, kRegisterCount> &map) {
    int run_start = -1;
    for (int i = 0; i < kRegisterCount; ++i) {
        const uint8_t mark = map[static_cast<size_t>(i)];
        if (mark == kNamed) {
            if (run_start < 0) run_start = i;
            continue;
        }
        if (run_start >= 0) append_run(out, name, run_start, i - 1);
        run_start = -1;
        if (mark == kOpenBlock) {
            std::array<char, 24> line{};
            std::snprintf(line.data(), line.size(), "%s[%d]-\r\n", name, i);
            out->append(line.data());
        }
    }
    if (run_start >= 0) append_run(out, name, run_start, kRegisterCount - 1);
}

}  // namespace

std::string format_register_usage(const RegisterUsageMap &usage) {
    std::string out;
    append_map(&out, "ad", usage.ad);
    out.append("\r\n");
    append_map(&out, "rd", usage.rd);
    return out;
}

int write_register_usage(const RegisterUsageMap &usage, std::string_view folder, std::string *report) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path.push_back('/');
    path.append("adrdinfo.txt");
    std::string reason;
    // A link planted at the report's name is replaced, never written through.
    if (platform::write_file_atomic(path, format_register_usage(usage), &reason, platform::LinkPolicy::kReplace))
        return kOk;
    if (report) *report = format_text(message_text(kMsgCantOpenFile), {path}) + "\n(" + reason + ")";
    return kMsgCantOpenFile;
}

}  // namespace ksw
