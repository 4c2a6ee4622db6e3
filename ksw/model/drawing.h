// What the test program asks the main window's drawing area to show, and what input( asks the
// operator. The engine formats every value itself, so each front-end shows the same text; the
// front-end only places, colours and draws it.
#pragma once

#include <cstdint>
#include <string>

namespace ksw {

// Colours of the drawing area: 0..7 are the eight basic colours (black, blue, green, cyan, red,
// magenta, yellow, white); kCurrentColour is the colour color( chose last; kNoBackground
// leaves the background as it is. Other negative values are passed on as the program gave them.
constexpr int32_t kCurrentColour = 8;
constexpr int32_t kNoBackground = -1;
constexpr int32_t kDefaultSize = -1;  // the drawing area's own text height

enum class DrawKind {
    kText,       // message(, show(, showokng(: `text` at (x, y)
    kClear,      // cls(: the whole area, or the rectangle (x, y)-(x1, y1) when `rectangle`
    kColours,    // color(: the colour, background and text size of later texts
    kPlacement,  // screen(pos: the drawing area is placed at (x, y)-(x1, y1)
    kBar,        // bar(: `value` on a scale from `low` to `high` at (x, y), `mark` marked on it
    kRectangle,  // square(: the outline (x, y)-(x1, y1), rounded corners when `rounded`
};

struct DrawRequest {
    DrawKind kind = DrawKind::kText;
    int32_t x = 0, y = 0;
    int32_t x1 = 0, y1 = 0;
    int32_t colour = kCurrentColour;
    int32_t background = kNoBackground;
    int32_t size = kDefaultSize;
    bool rectangle = false;
    bool rounded = false;
    double value = 0, mark = 0, low = 0, high = 0;
    std::string text;
};

// A question of input( (or of barcode(, `scan`) for the main thread. The engine fills the
// prompt, the hint (the bounds as the operator reads them) and, when it refused the previous
// answer, the complaint; the front-end fills `answer` with the text typed, as typed.
struct ValueQuestion {
    std::string prompt;
    std::string hint;
    std::string complaint;
    bool scan = false;  // a scanned code: front-ends with a keyboard leave it to the key buffer
    std::string answer;
};

// What a send of kMsgValueQuestion returns besides kSendCancelled.
enum ValueReply : intptr_t {
    kValueAnswered = 1,    // `answer` holds the operator's text
    kValueUnanswered = 2,  // nobody can answer (no terminal, no prepared answer left)
    kValueFromKeys = 3,    // a scan: the code arrives as keys in the key buffer
};

}  // namespace ksw
