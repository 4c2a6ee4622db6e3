// The older board library: with no usable current one on offer (none, or one that lacks an entry
// point), the link binds "vcw4301.dll" by its Gpib... names. This program links only that
// library, so the current one is nowhere on its search path.
#include <gtest/gtest.h>

#include "gpib_sim.h"
#include "program_builder.h"
#include "resources/error_codes.h"
#include "runtime/gpib/gpib_link.h"
#include "runtime/run_handlers.h"
#include "temp_dir.h"

namespace ksw {
namespace {

TEST(GpibFallback, TheOlderLibraryIsBoundWhenTheCurrentOneIsUnusable) {
    testing::ScopedEnv path("KSW_LIBRARY_PATH", std::string(KSW_INCOMPLETE_GPC4304_DIR) + ":" + KSW_GPIB_FALLBACK_DIR);
    ASSERT_EQ(gpib_sim_reset(), 0);
    ASSERT_EQ(gpib_sim_set_reply(9, "-2.5E+0"), 0);
    ProgramBuilder builder;
    ASSERT_TRUE(builder.allocate());
    builder.step(1);
    CommandRecord &read = builder.command(1, kRowGpib, 0, {9, 4});
    GpibLink link;
    RunContext context;
    context.use_program(&builder.program);
    context.registers = &builder.registers;
    context.gpib = &link;
    context.current_step = 1;

    ASSERT_EQ(read.run(context, read), kOk);
    EXPECT_EQ(builder.rd(4), -2.5);
    EXPECT_NE(link.library.path().find("/libvcw4301.so"), std::string::npos) << link.library.path();
    EXPECT_NE(link.bind_notice.find("gpc4304.dll"), std::string::npos) << link.bind_notice;
    EXPECT_NE(link.bind_notice.find("has no PciGpibExMastRecvData"), std::string::npos) << link.bind_notice;
    gpib_sim_board_state board{};
    ASSERT_EQ(gpib_sim_board(0, &board), 0);
    EXPECT_EQ(board.initialised, 1);
    EXPECT_EQ(board.remote, 1);
    reset_gpib_link(link);
}

}  // namespace
}  // namespace ksw
