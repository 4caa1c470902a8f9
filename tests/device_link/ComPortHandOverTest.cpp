#include "device_link/ComPort.h"
#include "device_link/PtyPair.h"
#include "device_link/ServeUntil.h"
#include "device_link/WaitWithMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The event thread waits for a dispatch's end in its own wait for the line: what happens on the
// line meanwhile must neither start a second dispatch inside the first nor be lost.
TEST(ComPortHandOver, WhatComesDuringADispatchIsDeliveredOnceItHasEnded) {
    TPtyPair pty;
    TComPort port;
    port.SetPort(pty.SlavePath());
    port.SetEvents({evRxChar, evTxEmpty});
    std::vector<std::string> log;
    int depth = 0;
    int deepest = 0;
    port.OnRxChar = [&](TComponent*, int count) {
        deepest = std::max(deepest, ++depth);
        ByteString bytes;
        port.ReadString(bytes, count);
        log.push_back("read " + bytes);
        if (bytes == "a") {
            port.WriteString("w");
            pty.Send("b");
            WaitWithMessages(30);
        }
        --depth;
    };
    port.OnTxEmpty = [&](TComponent*) { log.emplace_back("TxEmpty"); };
    port.Open();
    pty.Send("a");
    ASSERT_TRUE(ServeUntil([&] { return log.size() == 3; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(log.front(), "read a");
    EXPECT_NE(std::find(log.begin(), log.end(), "read b"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "TxEmpty"), log.end());
}

TEST(ComPortHandOver, AnAbortWithNoReadWaitingLeavesTheNextReadItsTimeOut) {
    TPtyPair pty;
    TComPort port;
    port.SetPort(pty.SlavePath());
    port.SetEvents({});
    port.GetTimeouts().SetReadInterval(0);
    port.GetTimeouts().SetReadTotalConstant(60);
    port.Open();
    port.AbortPendingIo();
    ByteString read;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ReadString(read, 10), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 55ms);
}

} // namespace
