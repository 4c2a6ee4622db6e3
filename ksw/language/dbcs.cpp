#include "language/dbcs.h"

namespace ksw {
namespace {
thread_local int t_code_page = 0;
}

CodePageScope::CodePageScope(int code_page) : previous_(t_code_page) { t_code_page = code_page; }
CodePageScope::~CodePageScope() { t_code_page = previous_; }

int code_page() { return t_code_page; }

bool is_lead_byte(unsigned char c) {
    if (t_code_page != 932) return false;
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace ksw
