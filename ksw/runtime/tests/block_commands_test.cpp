// search( and shiftd( on both register files, at the ends of the files and through ad[] operands.
#include "command_fixture.h"

namespace ksw {
namespace {

using testing::record;

class BlockCommands : public testing::RegisterCommandTest {};

constexpr int kRd = 0, kAd = 1, kLeft = 0, kRight = 1;

TEST_F(BlockCommands, SearchFindsTheFirstEqualRegisterOrGivesMinusOne) {
    for (int i = 0; i < 5; ++i) rd()[static_cast<size_t>(100 + i)] = i * 1.5;
    rd()[104] = 3.0;  // a second 3.0 after rd[102]
    rd()[50] = 3.0;
    ad()[60] = 5;  // search(rd, 100, 50, 60): five registers from rd[100]
    EXPECT_EQ(run_search(context, record(kRd, {100, 50, 60})), kOk);
    EXPECT_EQ(ad()[60], 102);
    rd()[50] = 2.0;
    ad()[60] = 5;
    EXPECT_EQ(run_search(context, record(kRd, {100, 50, 60})), kOk);
    EXPECT_EQ(ad()[60], 65535);
    ad()[60] = 0;  // nothing to look at
    EXPECT_EQ(run_search(context, record(kRd, {100, 50, 60})), kOk);
    EXPECT_EQ(ad()[60], 65535);
    // In ad[] the key may stand inside the block: it is found there.
    ad()[10] = 'x', ad()[11] = 'y', ad()[12] = 'z', ad()[5] = 'z', ad()[6] = 3;
    EXPECT_EQ(run_search(context, record(kAd, {10, 5, 6})), kOk);
    EXPECT_EQ(ad()[6], 12);
}

TEST_F(BlockCommands, SearchPastTheLastRegisterIsRefusedAndWritesNothing) {
    ad()[1] = 9;
    ad()[7999] = 9;
    ad()[0] = 1;  // search(ad, 7999, 1, 0): ad[7999] alone
    EXPECT_EQ(run_search(context, record(kAd, {7999, 1, 0})), kOk);
    EXPECT_EQ(ad()[0], 7999);
    ad()[0] = 2;  // ad[7999] and one past the file
    EXPECT_EQ(run_search(context, record(kAd, {7999, 1, 0})), kErrOutOfRange);
    EXPECT_EQ(ad()[0], 2);
    ad()[0] = 3;
    EXPECT_EQ(run_search(context, record(kRd, {7998, 1, 0})), kErrOutOfRange);
    EXPECT_EQ(ad()[0], 3);
    // Register numbers from ad[] operands are tested too.
    ad()[1] = 8000;
    EXPECT_EQ(run_search(context, record(kRd, {1, 2, 0}, {}, kMaskIntSlot(0))), kErrOutOfRange);
    EXPECT_EQ(run_search(context, record(kRd, {2, 1, 0}, {}, kMaskIntSlot(1))), kErrOutOfRange);
    EXPECT_EQ(run_search(context, record(kRd, {2, 3, 1}, {}, kMaskIntSlot(2))), kErrOutOfRange);
    EXPECT_EQ(ad()[0], 3);
}

TEST_F(BlockCommands, ShiftdMovesABlockByOnePlaceAndClearsTheFreedEnd) {
    for (int i = 0; i < 4; ++i) rd()[static_cast<size_t>(10 + i)] = i + 1;  // 1 2 3 4
    rd()[14] = 99;
    // shiftd(rd, lef, 10, 13)
    EXPECT_EQ(run_shiftd(context, record(kLeft, {10, 13, kRd})), kOk);
    EXPECT_EQ((std::vector<double>{rd()[10], rd()[11], rd()[12], rd()[13], rd()[14]}),
              (std::vector<double>{2, 3, 4, 0, 99}));
    // The ends may be given the other way round.
    EXPECT_EQ(run_shiftd(context, record(kRight, {13, 10, kRd})), kOk);
    EXPECT_EQ((std::vector<double>{rd()[10], rd()[11], rd()[12], rd()[13]}), (std::vector<double>{0, 2, 3, 4}));
    ad()[7998] = 1, ad()[7999] = 2;
    EXPECT_EQ(run_shiftd(context, record(kRight, {7998, 7999, kAd})), kOk);
    EXPECT_EQ(ad()[7998], 0);
    EXPECT_EQ(ad()[7999], 1);
    ad()[5] = 5;
    EXPECT_EQ(run_shiftd(context, record(kLeft, {5, 5, kAd})), kOk);  // a block of one is cleared
    EXPECT_EQ(ad()[5], 0);
}

TEST_F(BlockCommands, ShiftdThroughAnOperandPastTheFileIsRefused) {
    ad()[0] = 8000;
    ad()[1] = 7999;
    rd()[7999] = 7;
    EXPECT_EQ(run_shiftd(context, record(kLeft, {1, 0, kRd}, {}, kMaskIntSlot(0) | kMaskIntSlot(1))),
              kErrOutOfRange);
    EXPECT_EQ(rd()[7999], 7);
    // An ad[] operand whose own index lies outside the file.
    EXPECT_EQ(run_shiftd(context, record(kLeft, {0, 9000, kRd}, {}, kMaskIntSlot(1))), kErrOutOfRange);
}

}  // namespace
}  // namespace ksw
