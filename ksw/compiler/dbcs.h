// Double-byte characters of the active code page. By default there are none: text is bytes and
// UTF-8 passes through untouched. Code page 932 turns on the Shift-JIS lead bytes for legacy
// programs, so that a trail byte that looks like a quote, bracket or backslash is never taken
// for one.
#pragma once

namespace ksw {

// Sets the code page (0 or 65001: no lead bytes; 932: Shift-JIS). Called at start-up only.
void set_code_page(int code_page);
int code_page();

// True when `c` starts a double-byte character in the active code page.
bool is_lead_byte(unsigned char c);

}  // namespace ksw
