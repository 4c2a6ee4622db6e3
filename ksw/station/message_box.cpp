#include "station/message_box.h"

#include "resources/messages.h"

namespace ksw {

Answer show_message(Frontend *frontend, std::string_view text, std::string_view word, Buttons buttons, BoxIcon icon) {
    if (!frontend) return Answer::Ok;
    return frontend->ask(text, message_caption(word), buttons, icon);
}

}  // namespace ksw
