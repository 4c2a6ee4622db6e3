#include "resources/format.h"

#include <cmath>
#include <cstdio>

namespace ksw {
namespace {

bool is_flag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Formats one conversion `spec` (the "%..." text without length modifiers) with `arg`.
void append_conversion(std::string &out, const std::string &spec, char conversion, const FormatArg *arg) {
    if (!arg) return;
    char buf[512];
    int n = -1;
    switch (conversion) {
    case 'c':
        if (arg->kind != FormatArg::kInt) return;
        n = std::snprintf(buf, sizeof buf, (spec + 'c').c_str(), static_cast<int>(arg->integer));
        break;
    case 'd': case 'i': case 'u': case 'x': case 'X':
        if (arg->kind != FormatArg::kInt) return;
        n = std::snprintf(buf, sizeof buf, (spec + "ll" + conversion).c_str(), arg->integer);
        break;
    case 'f': case 'e': case 'g': case 'E': case 'G':
        if (arg->kind == FormatArg::kInt) {
            n = std::snprintf(buf, sizeof buf, (spec + conversion).c_str(), static_cast<double>(arg->integer));
        } else if (arg->kind == FormatArg::kReal && std::isnan(arg->real)) {
            // "NaN" whatever its sign bit, in the field the number would have taken.
            std::string field = spec;
            if (const size_t dot = field.find('.'); dot != std::string::npos) field.erase(dot);
            n = std::snprintf(buf, sizeof buf, (field + 's').c_str(), "NaN");
        } else if (arg->kind == FormatArg::kReal) {
            n = std::snprintf(buf, sizeof buf, (spec + conversion).c_str(), arg->real);
        }
        break;
    case 's':
        if (arg->kind != FormatArg::kText) return;
        if (spec == "%") {
            out.append(arg->text);
            return;
        }
        {
            const std::string text(arg->text);
            n = std::snprintf(buf, sizeof buf, (spec + 's').c_str(), text.c_str());
        }
        break;
    default:
        return;
    }
    if (n > 0) out.append(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

}  // namespace

std::string format_text(std::string_view format, std::initializer_list<FormatArg> args) {
    std::string out;
    const FormatArg *next = args.begin();
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i++];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (i < format.size() && format[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        std::string spec = "%";
        while (i < format.size() && is_flag(format[i])) spec.push_back(format[i++]);
        while (i < format.size() && is_digit(format[i]) && spec.size() < 8) spec.push_back(format[i++]);
        if (i < format.size() && format[i] == '.') {
            spec.push_back(format[i++]);
            while (i < format.size() && is_digit(format[i]) && spec.size() < 12) spec.push_back(format[i++]);
        }
        while (i < format.size() && (format[i] == 'h' || format[i] == 'l')) ++i;  // length modifiers
        if (i >= format.size()) break;
        const char conversion = format[i++];
        const FormatArg *arg = next != args.end() ? next : nullptr;
        if (arg) ++next;
        append_conversion(out, spec, conversion, arg);
    }
    return out;
}

}  // namespace ksw
