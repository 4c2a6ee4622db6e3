#include <gtest/gtest.h>

#include "resources/messages.h"

namespace ksw {
namespace {

TEST(Messages, LookUpByIdAndUnknownIdsAreEmpty) {
    EXPECT_EQ(message_text(0), "e000: OK");
    EXPECT_EQ(message_text(5001), "KSW.exe");
    EXPECT_EQ(message_text(-1), "");
    EXPECT_EQ(message_text(999999), "");
}

}  // namespace
}  // namespace ksw
