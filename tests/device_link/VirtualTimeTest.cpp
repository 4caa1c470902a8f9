#include "device_link/ThreadedTimer.h"
#include "device_link/TickClock.h"
#include "device_link/VirtualTime.h"
#include "device_link/WaitWithMessages.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

using testing::ElementsAre;
using namespace std::chrono_literals;

namespace {

// Actions run at their times in order, also those an action schedules or a wait inside one lets
// come; a cancelled one never runs; time never goes back.
TEST(VirtualTime, ActionsRunInTimeOrderAndWaitsInsideThemLetTheirTimePass) {
    TVirtualTime time(1000);
    std::vector<std::string> ran;
    const auto at = [&](const char* name) { return [&, name] { ran.push_back(name + std::to_string(TickCount())); }; };
    time.After(30ms, at("c@"));
    time.After(10ms, [&] {
        ran.push_back("a@" + std::to_string(TickCount()));
        WaitWithMessages(25); // lets b and c run, each at its own time
        time.After(0ms, at("d@"));
    });
    time.After(10ms, at("b@"));
    time.Cancel(time.After(20ms, at("never@")));
    time.Pass(40ms);
    EXPECT_THAT(ran, ElementsAre("a@1010", "b@1010", "c@1030", "d@1035"));
    EXPECT_EQ(TickCount(), 1040u);
}

// A timer ticks on the virtual time alone, at exact intervals; a restart counts from itself.
TEST(VirtualTime, ThreadedTimersTickOnItAndRestartFromTheirChange) {
    TVirtualTime time;
    TThreadedTimer timer;
    timer.SetInterval(100);
    std::vector<std::uint32_t> ticks;
    timer.OnTimer = [&](TComponent*) { ticks.push_back(TickCount()); };
    timer.SetEnabled(true);
    time.Pass(250ms);
    timer.SetInterval(40);
    time.Pass(100ms);
    timer.SetEnabled(false);
    time.Pass(1s);
    EXPECT_THAT(ticks, ElementsAre(100u, 200u, 290u, 330u));
}

} // namespace
