#include "ui/message_box.h"

#include "resources/messages.h"

namespace ksw {

std::string message_caption(std::string_view word) {
    std::string caption(message_text(kStrProgramTitle));
    if (!word.empty()) {
        caption += " - ";
        caption += word;
    }
    return caption;
}

Answer show_message(Frontend *frontend, std::string_view text, std::string_view word, Buttons buttons, BoxIcon icon) {
    if (!frontend) return Answer::Ok;
    return frontend->ask(text, message_caption(word), buttons, icon);
}

}  // namespace ksw
