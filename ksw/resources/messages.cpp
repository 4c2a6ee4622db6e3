#include "resources/messages.h"

#include <algorithm>
#include <iterator>

namespace ksw {
namespace {

struct MessageRow {
    int id;
    const char *text;
};

// Sorted by id.
constexpr MessageRow kMessages[] = {
    {0, "e000: OK"},
    {5001, "KSW.exe"},
};

}  // namespace

std::string_view message_text(int id) {
    const auto *it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                                      [](const MessageRow &row, int key) { return row.id < key; });
    if (it == std::end(kMessages) || it->id != id) return {};
    return it->text;
}

}  // namespace ksw
