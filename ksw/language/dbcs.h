// Double-byte characters of the code page a compile runs under. By default there are none: text
// is bytes and UTF-8 passes through untouched. Code page 932 turns on the Shift-JIS lead bytes
// for legacy programs, so that a trail byte that looks like a quote, bracket or backslash is
// never taken for one. The code page belongs to the compile options; a compile installs it for
// its own thread with CodePageScope.
#pragma once

namespace ksw {

// Makes `code_page` (0 or 65001: no lead bytes; 932: Shift-JIS) the one of this thread for the
// life of the object, then restores the one before.
class CodePageScope {
public:
    explicit CodePageScope(int code_page);
    ~CodePageScope();
    CodePageScope(const CodePageScope &) = delete;
    CodePageScope &operator=(const CodePageScope &) = delete;

private:
    int previous_;
};

// The code page in force on this thread.
[[nodiscard]] int code_page();

// True when `c` starts a double-byte character in the code page in force.
bool is_lead_byte(unsigned char c);

}  // namespace ksw
