// Run handlers of the commands that draw on the main window's drawing area (message(, show(,
// showokng(, cls(, screen(, color(, bar(, square(), of info( and of the sound of beep(. Each
// formats what it shows here and hands it to the front-end, which only places and draws it; a
// worker never waits for the drawing.
//
//   message(x, y, text[, colour[, background[, size]]])   the text at (x, y)
//   show(word, x, y, n[, count[, colour[, background[, size]]]])   register values, see screen_text.h
//   showokng(x, y[, colour[, background[, size]]])   "OK", "NG" or "--" (the step not judged yet)
//   cls()  the whole area;  cls(x0, y0, x1, y1)  a rectangle
//   screen(pos, x0, y0, x1, y1)  places the drawing area; screen(on|off) changed the step's
//                                 screen-output flag when it compiled and does nothing here
//   color(colour, background[, size])   the colours (and text size) of later texts
//   bar(x, y, a, b, low, high[, colour])   rd[a] as a bar on the scale low..high, rd[b] marked
//   square(nor|rou, x0, y0, x1, y1, colour)   a rectangle, rounded corners for "rou"
//   info(n)   n in the tool bar's information field (text field 2)
//   beep([on[, t]]) the beep for t seconds (default 1; 0 one short beep); beep(off) stops a
//             sound of beep(; beep(wav, file) plays the file (e107 when it cannot be played)
#include <initializer_list>
#include <string>

#include "model/frontend.h"
#include "platform/files.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "runtime/screen_text.h"

namespace ksw {
namespace {

// The tool-bar field that info( writes.
constexpr int kInfoField = 2;

// Reads integer operands: each pair names a slot and where its value goes.
struct IntSlot {
    int slot;
    int32_t *value;
};
int read_ints(RunContext &context, const CommandRecord &command, std::initializer_list<IntSlot> slots) {
    for (const IntSlot &s : slots)
        if (const int rc = int_operand(context, command, s.slot, s.value); rc != kOk) return rc;
    return kOk;
}

int draw(RunContext &context, DrawRequest request) {
    if (context.frontend) context.frontend->draw(std::move(request));
    return kOk;
}

// A text at (slot 0, slot 1) in the colour, background and size of the three slots from
// `style`.
int text_request(RunContext &context, const CommandRecord &command, int style, DrawRequest *request) {
    request->kind = DrawKind::kText;
    return read_ints(context, command,
                     {{0, &request->x}, {1, &request->y}, {style, &request->colour}, {style + 1, &request->background},
                      {style + 2, &request->size}});
}

// A rectangle from slots 0..3.
int rectangle(RunContext &context, const CommandRecord &command, DrawRequest *request) {
    return read_ints(context, command, {{0, &request->x}, {1, &request->y}, {2, &request->x1}, {3, &request->y1}});
}

// rd[register number of slot `slot`], or 4 when that number lies outside 0..7999.
int rd_value(RunContext &context, const CommandRecord &command, int slot, double *value) {
    int32_t n = 0;
    if (const int rc = int_operand(context, command, slot, &n); rc != kOk) return rc;
    const Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    if (!is_register_index(n)) return kErrOutOfRange;
    *value = (*registers->rd)[static_cast<size_t>(n)];
    return kOk;
}

}  // namespace

int run_message(RunContext &context, const CommandRecord &command) {
    DrawRequest request;
    if (const int rc = text_request(context, command, 4, &request); rc != kOk) return rc;
    request.text = command.text;
    return draw(context, std::move(request));
}

int run_show(RunContext &context, const CommandRecord &command) {
    DrawRequest request;
    int32_t first = 0, count = 1;
    if (const int rc = text_request(context, command, 4, &request); rc != kOk) return rc;
    if (const int rc = read_ints(context, command, {{2, &first}, {3, &count}}); rc != kOk) return rc;
    const Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    if (const int rc = format_show(*registers, command.sub_mode, first, count, &request.text); rc != kOk) return rc;
    return draw(context, std::move(request));
}

int run_showokng(RunContext &context, const CommandRecord &command) {
    DrawRequest request;
    if (const int rc = text_request(context, command, 2, &request); rc != kOk) return rc;
    const StepRunState *step = context.state(context.current_step);
    const int judgement = step ? step->judgement : kNotJudged;
    request.text = judgement == kNotJudged ? "--" : judgement == kJudgedOk ? "OK" : "NG";
    return draw(context, std::move(request));
}

int run_cls(RunContext &context, const CommandRecord &command) {
    DrawRequest request;
    request.kind = DrawKind::kClear;
    request.rectangle = command.sub_mode == 1;
    if (request.rectangle)
        if (const int rc = rectangle(context, command, &request); rc != kOk) return rc;
    return draw(context, std::move(request));
}

int run_screen(RunContext &context, const CommandRecord &command) {
    if (command.sub_mode != 0) return kOk;  // "on", "off": the step's flag, set when it compiled
    DrawRequest request;
    request.kind = DrawKind::kPlacement;
    if (const int rc = rectangle(context, command, &request); rc != kOk) return rc;
    return draw(context, std::move(request));
}

int run_color(RunContext &context, const CommandRecord &command) {
    DrawRequest request;
    request.kind = DrawKind::kColours;
    if (const int rc = read_ints(context, command, {{0, &request.colour}, {1, &request.background}}); rc != kOk)
        return rc;
    if (command.sub_mode == 1)
        if (const int rc = int_operand(context, command, 2, &request.size); rc != kOk) return rc;
    return draw(context, std::move(request));
}

int run_bar(RunContext &context, const CommandRecord &command) {
    DrawRequest request;
    request.kind = DrawKind::kBar;
    int rc = read_ints(context, command, {{0, &request.x}, {1, &request.y}, {4, &request.colour}});
    if (rc == kOk) rc = rd_value(context, command, 2, &request.value);
    if (rc == kOk) rc = rd_value(context, command, 3, &request.mark);
    if (rc == kOk) rc = real_operand(context, command, 0, &request.low);
    if (rc == kOk) rc = real_operand(context, command, 1, &request.high);
    return rc == kOk ? draw(context, std::move(request)) : rc;
}

int run_square(RunContext &context, const CommandRecord &command) {
    DrawRequest request;
    request.kind = DrawKind::kRectangle;
    request.rounded = command.sub_mode == 1;
    if (const int rc = rectangle(context, command, &request); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 4, &request.colour); rc != kOk) return rc;
    return draw(context, std::move(request));
}

int run_info(RunContext &context, const CommandRecord &command) {
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    if (context.frontend) context.frontend->set_field_text(kInfoField, std::to_string(n));
    return kOk;
}

int run_beep(RunContext &context, const CommandRecord &command) {
    Frontend *frontend = context.frontend;
    switch (command.sub_mode) {
    case 0:
        if (frontend) frontend->stop_beep();
        return kOk;
    case 1: {
        double seconds = 0;
        uint32_t ms = 0;
        if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
        if (const int rc = to_milliseconds(seconds, &ms); rc != kOk) return rc;
        if (frontend) frontend->beep_for(ms);
        return kOk;
    }
    case 2:
        if (frontend && !frontend->play_beep_wave(platform::platform_path(command.text))) {
            context.failure_detail = "beep( cannot play \"" + command.text + "\"";
            return kErrOpenFile;
        }
        return kOk;
    default: return kErrInvalidMode;
    }
}

}  // namespace ksw
