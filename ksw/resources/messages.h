// The message table: every text the station shows by number. Ids 0-177 are the errors of test
// programs and devices ("e000: OK" ...), 3000-3027 the system messages ("s000: ..."), and from
// 1000 on the texts of the user interface (tool tips, page titles, names, filters).
#pragma once

#include <string_view>

namespace ksw {

// The text of message `id`; the empty text when the table holds no such id.
std::string_view message_text(int id);

// The error number range and the system-message base.
constexpr int kLastErrorId = 177;
constexpr int kSystemMessageBase = 3000;

}  // namespace ksw
