#include "net/poll_event_loop.h"

#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "net/event_loop_contract.h"

namespace net {
namespace {

using namespace std::chrono_literals;
using contract::EventLoopContract;

std::unique_ptr<EventLoop> MakePollEventLoop() { return std::make_unique<PollEventLoop>(); }

INSTANTIATE_TEST_SUITE_P(PollEventLoop, EventLoopContract, ::testing::Values(&MakePollEventLoop));

TEST(PollEventLoopTest, RunOnceAnswersWhetherACallbackRan) {
  PollEventLoop loop;
  EXPECT_FALSE(loop.RunOnce(0ms));
  loop.Post([] {});
  EXPECT_TRUE(loop.RunOnce(0ms));
  EXPECT_FALSE(loop.RunOnce(0ms));
}

}  // namespace
}  // namespace net
