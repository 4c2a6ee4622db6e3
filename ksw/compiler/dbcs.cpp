#include "compiler/dbcs.h"

#include <atomic>

namespace ksw {
namespace {
std::atomic<int> g_code_page{0};
}

void set_code_page(int code_page) { g_code_page.store(code_page, std::memory_order_relaxed); }

int code_page() { return g_code_page.load(std::memory_order_relaxed); }

bool is_lead_byte(unsigned char c) {
    if (g_code_page.load(std::memory_order_relaxed) != 932) return false;
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace ksw
