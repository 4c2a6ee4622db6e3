// Message boxes as the station shows them: captioned "<program title> - <word>" ("KSW.exe -
// MACRO"), or with the program title alone when there is no word.
#pragma once

#include <string>
#include <string_view>

#include "model/frontend.h"
#include "resources/messages.h"

namespace ksw {

// Shows `text` through `frontend` (nothing happens without one) and returns the answer
// (Ok without a front-end).
Answer show_message(Frontend *frontend, std::string_view text, std::string_view word, Buttons buttons = Buttons::Ok,
                    BoxIcon icon = BoxIcon::None);

}  // namespace ksw
