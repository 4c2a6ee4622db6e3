#include "runtime/screen_text.h"

#include <cstdio>

#include "resources/error_codes.h"
#include "zelw.h"

namespace ksw {
namespace {

// One value of `mode` from register `at` (in range, checked by the caller).
std::string one_value(const Registers &registers, int mode, size_t at) {
    const AdFile &ad = *registers.ad;
    char text[32];
    switch (mode) {
    case kShowRd: {
        char field[16];
        return MakeFloatStringA((*registers.rd)[at], field);
    }
    case kShowAd: std::snprintf(text, sizeof text, "%04X", unsigned{ad[at]}); break;
    case kShowDad: std::snprintf(text, sizeof text, "%5u", unsigned{ad[at]}); break;
    case kShowCou: std::snprintf(text, sizeof text, "%6d", int{static_cast<int16_t>(ad[at])}); break;
    case kShowVtr:
        std::snprintf(text, sizeof text, "%02u:%02u:%02u:%02u", unsigned{ad[at]}, unsigned{ad[at + 1]},
                      unsigned{ad[at + 2]}, unsigned{ad[at + 3]});
        break;
    default:  // kShowSta
        for (int bit = 15; bit >= 0; --bit) text[15 - bit] = (ad[at] >> bit) & 1 ? '1' : '0';
        text[16] = '\0';
        break;
    }
    return text;
}

}  // namespace

std::string ad_text(const AdFile &ad, int first, int limit) {
    std::string text;
    for (int i = first; i < kRegisterCount && static_cast<int>(text.size()) < limit; ++i) {
        const uint16_t v = ad[static_cast<size_t>(i)];
        if (v == 0 || v >= 256) break;
        text += static_cast<char>(v);
    }
    return text;
}

int store_ad_text(AdFile &ad, int64_t first, std::string_view text) {
    const int64_t end = first + static_cast<int64_t>(text.size());  // the register of the closing 0
    if (!is_register_index(first) || !is_register_index(end)) return kErrOutOfRange;
    for (size_t i = 0; i < text.size(); ++i) ad[static_cast<size_t>(first) + i] = static_cast<unsigned char>(text[i]);
    ad[static_cast<size_t>(end)] = 0;
    return kOk;
}

int format_show(const Registers &registers, int mode, int first, int count, std::string *out) {
    if (mode < kShowRd || mode > kShowSta) return kErrInvalidMode;
    if (!is_register_index(first)) return kErrOutOfRange;
    if (mode == kShowStr) {
        *out = ad_text(*registers.ad, first, kTextRegisters - 1);
        return kOk;
    }
    const int width = mode == kShowVtr ? 4 : 1;
    if (count < 1 || !is_register_index(first + int64_t{count} * width - 1)) return kErrOutOfRange;
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += ' ';
        text += one_value(registers, mode, static_cast<size_t>(first + i * width));
    }
    *out = std::move(text);
    return kOk;
}

}  // namespace ksw
