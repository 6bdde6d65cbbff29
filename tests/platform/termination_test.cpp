// Termination requests reach a program that holds them as a request it reads, and its close
// runs once: the system does not end the program by itself.
#include "side.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {
// What the holder has written so far; empty before it has written anything.
std::string written(const side::WorkFolder& work) {
    try {
        return work.read("closes.txt");
    } catch (const std::runtime_error&) {
        return {};
    }
}

bool becomesReady(const side::WorkFolder& work) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (written(work) != "ready\r\n") {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
} // namespace

TEST(Termination, ARequestRunsTheCloseOnce) {
    const std::vector<side::TerminationRequest> requests = side::terminationRequests();
    // Ends a holder that a request left running.
    const side::TerminationRequest& closing = requests.front();
    ASSERT_TRUE(closing.closes);
    for (const side::TerminationRequest& request : requests) {
        SCOPED_TRACE(request.name);
        side::WorkFolder work;
        side::Holder holder("close", work.path("closes.txt"));
        ASSERT_TRUE(holder.started());
        ASSERT_TRUE(becomesReady(work));
        ASSERT_TRUE(request.deliver(holder));
        if (!request.closes) {
            EXPECT_EQ(written(work), "ready\r\n");
            ASSERT_TRUE(closing.deliver(holder));
        }
        EXPECT_EQ(holder.wait(), 0);
        EXPECT_EQ(written(work), "ready\r\nclose\r\n");
    }
}
