#include "device_link/ComDataPacket.h"
#include "device_link/ComPort.h"
#include "device_link/EComPort.h"
#include "device_link/MainThreadHandOver.h"
#include "device_link/PtyPair.h"
#include "device_link/SerialDevice.h"
#include "device_link/ServeUntil.h"
#include "device_link/ShownErrors.h"
#include "device_link/WaitWithMessages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include <sys/ioctl.h>
#include <unistd.h>

using testing::ElementsAre;
using namespace std::chrono_literals;

namespace {

// Every event of a port, and the notifications of one link, as text in the order they came.
class TEventLog {
public:
    explicit TEventLog(TComPort& port) : FPort(port) {
        port.OnBeforeOpen = Note("BeforeOpen");
        port.OnAfterOpen = Note("AfterOpen");
        port.OnBeforeClose = Note("BeforeClose");
        port.OnAfterClose = Note("AfterClose");
        port.OnCTSChange = NoteLine("CTS");
        port.OnDSRChange = NoteLine("DSR");
        port.OnRLSDChange = NoteLine("RLSD");
        port.OnRxChar = [this](TComponent*, int count) { Lines.push_back("RxChar " + std::to_string(count)); };
        port.OnRxBuf = [this](TComponent*, const char*, int count) {
            Lines.push_back("RxBuf " + std::to_string(count));
        };
        port.OnTxEmpty = Note("TxEmpty");
        Link.OnConn = [this](bool on) { Lines.push_back(std::string("link Conn ") + (on ? "1" : "0")); };
        Link.OnCTSChange = [this](bool on) { Lines.push_back(std::string("link CTS ") + (on ? "1" : "0")); };
        Link.OnTxBuf = [this](const char* bytes, int count) { Lines.push_back("link TxBuf" + HexText({bytes, std::size_t(count)})); };
        port.RegisterLink(&Link);
    }

    // The port may outlive the log and still close: nothing may reach the log after this.
    ~TEventLog() {
        FPort.UnregisterLink(&Link);
        FPort.OnBeforeOpen = FPort.OnAfterOpen = FPort.OnBeforeClose = FPort.OnAfterClose = FPort.OnTxEmpty = nullptr;
        FPort.OnCTSChange = FPort.OnDSRChange = FPort.OnRLSDChange = nullptr;
        FPort.OnRxChar = nullptr;
        FPort.OnRxBuf = nullptr;
    }
    TEventLog(const TEventLog&) = delete;
    TEventLog& operator=(const TEventLog&) = delete;

    std::vector<std::string> Take() { return std::exchange(Lines, {}); }
    bool Has(const std::string& line) const { return std::find(Lines.begin(), Lines.end(), line) != Lines.end(); }

    std::vector<std::string> Lines;
    TComLink Link;

private:
    TComPort& FPort;

    TComPort::TNotifyEvent Note(const char* name) {
        return [this, name](TComponent*) { Lines.emplace_back(name); };
    }
    TComPort::TComSignalEvent NoteLine(const char* name) {
        return [this, name](TComponent*, bool on) { Lines.push_back(std::string(name) + (on ? " 1" : " 0")); };
    }
};

int ErrorCodeOf(const std::function<void()>& call, int* systemCode = nullptr) {
    try {
        call();
    } catch (const EComPort& error) {
        if (systemCode != nullptr) *systemCode = error.SystemErrorCode();
        return error.ErrorCode();
    }
    return 0;
}

// The device's line settings on a pseudo-terminal; even parity must not make opening fail.
void SetUpAsDevice(TComPort& port, const TPtyPair& pty) {
    port.SetPort(pty.SlavePath());
    port.GetParity().SetBits(prEven);
    port.GetFlowControl().SetFlowControl(fcNone);
    port.SetEvents({evRxChar, evError, evRx80Full});
}

std::chrono::nanoseconds ProcessCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

const std::vector<std::string> OpenSequence = {"BeforeOpen", "link Conn 1", "AfterOpen", "link CTS 0",
                                               "CTS 0",      "DSR 0",       "RLSD 0"};
const std::vector<std::string> CloseSequence = {"link CTS 0", "CTS 0", "DSR 0", "RLSD 0", "BeforeClose",
                                                "link Conn 0", "AfterClose"};

// A port with the device's settings on a fresh pseudo-terminal, and the log of its events.
class ComPortOnPty : public testing::Test {
protected:
    void SetUp() override { SetUpAsDevice(Port, Pty); }
    void OpenQuietly() {
        Port.Open();
        Log.Take();
    }

    TPtyPair Pty;
    TComPort Port;
    TEventLog Log{Port};
};

// ---- opening and closing ----

TEST(ComPort, OpeningAMissingDeviceFailsWithCode1AndTheSystemCode) {
    for (const char* name : {"/dev/kelvo-no-such-port", "kelvo-no-such-port"}) {
        TComPort port;
        TEventLog log(port);
        port.SetPort(name);
        int systemCode = 0;
        EXPECT_EQ(ErrorCodeOf([&] { port.Open(); }, &systemCode), 1);
        EXPECT_EQ(systemCode, 2);
        EXPECT_THAT(log.Lines, ElementsAre("BeforeOpen"));
        EXPECT_FALSE(port.GetConnected());
    }
    try {
        TComPort port;
        port.SetPort("kelvo-no-such-port");
        port.Open();
    } catch (const EComPort& error) {
        EXPECT_STREQ(error.what(), "Unable to open com port (win error code: 2)");
    }
}

// Root passes the terminal's exclusive mode, so the test asks the terminal for it, through a
// descriptor opened before the mode was set (a later open is refused to anyone but root).
class TExclusiveModeProbe {
public:
    explicit TExclusiveModeProbe(const std::string& path) : FHandle(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~TExclusiveModeProbe() { ::close(FHandle); }
    TExclusiveModeProbe(const TExclusiveModeProbe&) = delete;
    TExclusiveModeProbe& operator=(const TExclusiveModeProbe&) = delete;
    bool Set() const {
        int exclusive = -1;
        EXPECT_EQ(::ioctl(FHandle, TIOCGEXCL, &exclusive), 0);
        return exclusive != 0;
    }

private:
    int FHandle;
};

TEST_F(ComPortOnPty, OnlyTheHolderSetsAndClearsTheExclusiveMode) {
    const TExclusiveModeProbe exclusive(Pty.SlavePath());
    Port.Open();
    EXPECT_TRUE(exclusive.Set());
    TComPort second;
    second.SetPort(Pty.SlavePath());
    EXPECT_EQ(ErrorCodeOf([&] { second.Open(); }), 1);
    EXPECT_TRUE(exclusive.Set()) << "a refused open keeps the holder's mode";
    Port.Close();
    EXPECT_FALSE(exclusive.Set()) << "any user may open the port again";
}

TEST(ComPort, RefusedOpenHintsAtTheGroupTheOwnerOrAnotherHolder) {
    const gid_t dialout = ::getgrnam("dialout") ? ::getgrnam("dialout")->gr_gid : 0;
    if (dialout == 0 || ::getegid() == dialout) GTEST_SKIP() << "needs a dialout group this user is not in";
    const std::string node = "./serial-node";
    std::fclose(std::fopen(node.c_str(), "w"));
    if (::chown(node.c_str(), 65534, dialout) != 0) GTEST_SKIP() << "needs the right to give a file away";
    const std::string user = ::getpwuid(::geteuid())->pw_name;
    ::chmod(node.c_str(), 0660);
    EXPECT_EQ(TSerialDevice::OpenFailureHint(node, EACCES),
              "the user " + user + " is not in the group dialout that owns ./serial-node: add the user to that group "
              "and log in again");
    ::chmod(node.c_str(), 0600);
    EXPECT_EQ(TSerialDevice::OpenFailureHint(node, EACCES),
              "./serial-node lets only its owner " + std::string(::getpwuid(65534)->pw_name) + " open it, not the user " +
                  user);
    EXPECT_EQ(TSerialDevice::OpenFailureHint(node, EBUSY), "another program has the port open");
    EXPECT_EQ(TSerialDevice::OpenFailureHint(node, ENOENT), "");
}

TEST_F(ComPortOnPty, OpenAndCloseRaiseTheirEventsInOrderAndOnlyOnce) {

    Port.Open();
    EXPECT_TRUE(Port.GetConnected());
    EXPECT_EQ(Log.Take(), OpenSequence);
    Port.Open();
    EXPECT_TRUE(Log.Take().empty());

    Port.Close();
    EXPECT_FALSE(Port.GetConnected());
    EXPECT_EQ(Log.Take(), CloseSequence);
    Port.Close();
    EXPECT_TRUE(Log.Take().empty());
}

TEST(ComPort, ChangingThePortWhileOpenClosesAndReopensInOneCall) {
    TPtyPair first;
    TPtyPair second;
    TComPort port;
    TEventLog log(port);
    SetUpAsDevice(port, first);
    port.Open();
    log.Take();

    port.SetPort(second.SlavePath());
    std::vector<std::string> expected = CloseSequence;
    expected.insert(expected.end(), OpenSequence.begin(), OpenSequence.end());
    EXPECT_EQ(log.Take(), expected);
    EXPECT_TRUE(port.GetConnected());

    second.Send("abc");
    EXPECT_TRUE(ServeUntil([&] { return log.Has("RxChar 3"); }));
}

TEST(ComPort, SyncMethodAndPriorityCannotChangeWhileOpen) {
    TPtyPair pty;
    TComPort port;
    SetUpAsDevice(port, pty);
    port.Open();
    EXPECT_EQ(ErrorCodeOf([&] { port.SetSyncMethod(smNone); }), 14);
    EXPECT_EQ(port.GetSyncMethod(), smThreadSync);
    EXPECT_EQ(ErrorCodeOf([&] { port.SetEventThreadPriority(tpHigher); }), 14);
    EXPECT_EQ(port.GetEventThreadPriority(), tpNormal);
    port.Close();
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.GetSyncMethod(), smNone);
}

TEST(ComPort, LineSettingsOfEveryKindApplyOnAPseudoTerminal) {
    TPtyPair pty;
    TComPort port;
    SetUpAsDevice(port, pty);
    port.Open();
    for (TParityBits bits : {prOdd, prMark, prSpace, prNone, prEven}) port.GetParity().SetBits(bits);
    port.SetBaudRate(br14400);
    port.SetCustomBaudRate(250000);
    port.SetBaudRate(brCustom);
    port.GetFlowControl().SetFlowControl(fcHardware);
    port.SetDataBits(dbSeven);
    port.SetStopBits(sbTwoStopBits);
    EXPECT_TRUE(port.ModemSignals().Empty());
    EXPECT_TRUE(port.LineErrors().Empty());
    EXPECT_TRUE(port.GetConnected());
}

TEST(ComPort, ConnectedStoredWhileLoadingOpensWhenLoadingEnds) {
    TPtyPair pty;
    TComPort port;
    SetUpAsDevice(port, pty);
    port.BeginLoading();
    port.SetConnected(true);
    EXPECT_TRUE(port.GetConnected());
    port.EndLoading();
    EXPECT_TRUE(port.GetConnected());

    // A port that cannot open then reports through the error display and stays closed.
    TShownErrors shown;
    TComPort missing;
    missing.SetPort("/dev/kelvo-no-such-port");
    missing.BeginLoading();
    missing.SetConnected(true);
    missing.EndLoading();
    EXPECT_FALSE(missing.GetConnected());
    EXPECT_THAT(shown.Messages, ElementsAre("Unable to open com port (win error code: 2)"));
}

// ---- receiving and sending ----

TEST_F(ComPortOnPty, BytesGoToTheLinkedSplitterAndNotToOnRxChar) {
    TComDataPacket splitter;
    splitter.SetSize(5);
    splitter.OnPacket = [&](TComponent*, const ByteString& packet) { Log.Lines.push_back("Packet" + HexText(packet)); };
    splitter.SetComPort(&Port);
    OpenQuietly();

    Pty.Send(BytesOf({0xF0, 0x01, 0x00, 0xFF, 0xF7}));
    ASSERT_TRUE(ServeUntil([&] { return Log.Has("Packet F0 01 00 FF F7"); }));
    EXPECT_THAT(Log.Take(), ElementsAre("RxBuf 5", "Packet F0 01 00 FF F7"));
}

TEST_F(ComPortOnPty, WithoutALinkOnRxCharAnnouncesBytesThatStayUntilRead) {
    OpenQuietly();

    Pty.Send("12345");
    ASSERT_TRUE(ServeUntil([&] { return Log.Has("RxChar 5"); }));
    // Unread bytes are announced once, not again and again.
    WaitWithMessages(50);
    EXPECT_THAT(Log.Take(), ElementsAre("RxChar 5"));
    EXPECT_EQ(Port.PendingInputCount(), 5);

    Pty.Send("67");
    ASSERT_TRUE(ServeUntil([&] { return Log.Has("RxChar 7"); }));
    ByteString read;
    EXPECT_EQ(Port.ReadString(read, 100), 7);
    EXPECT_EQ(read, "1234567");
    EXPECT_EQ(Port.ReadString(read, 0), 0);
    EXPECT_EQ(read, "");
}

TEST_F(ComPortOnPty, AnEmptyEventSetOpensButDeliversNoLineEvent) {
    Port.SetEvents({});
    Port.Open();
    EXPECT_EQ(Log.Take(), OpenSequence);
    Pty.Send("12345");
    WaitWithMessages(100);
    EXPECT_TRUE(Log.Take().empty());
    EXPECT_EQ(Port.PendingInputCount(), 5);
}

TEST_F(ComPortOnPty, WriteStringSendsEveryByteAndTellsTheLinks) {
    Port.SetEvents({evRxChar, evTxEmpty});
    OpenQuietly();

    EXPECT_EQ(Port.WriteString(""), 0);
    const ByteString frame = BytesOf({0xF0, 0x00, 0x80, 0xFF, 0x0A, 0xF7});
    EXPECT_EQ(Port.WriteString(frame), 6);
    EXPECT_EQ(Pty.Receive(6), frame);
    ASSERT_TRUE(ServeUntil([&] { return Log.Has("TxEmpty"); }));
    EXPECT_THAT(Log.Take(), ElementsAre("link TxBuf F0 00 80 FF 0A F7", "TxEmpty"));
}

// Reads that wait for the total time-out alone, with no event thread taking the bytes.
void OpenForTimedReads(TComPort& port, const TPtyPair& pty, std::int32_t totalMs) {
    SetUpAsDevice(port, pty);
    port.SetEvents({});
    port.GetTimeouts().SetReadInterval(0);
    port.GetTimeouts().SetReadTotalConstant(totalMs);
    port.Open();
}

TEST(ComPort, ReadStringWaitsForTheTotalTimeOut) {
    TPtyPair pty;
    TComPort port;
    OpenForTimedReads(port, pty, 60);
    pty.Send("ab");
    ByteString read;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ReadString(read, 10), 2);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 55ms);
    EXPECT_EQ(read, "ab");
}

TEST(ComPort, EventsReachTheMainThreadUnlessSyncMethodIsNone) {
    const auto mainThread = std::this_thread::get_id();
    for (TSyncMethod method : {smThreadSync, smWindowSync, smNone}) {
        TPtyPair pty;
        TComPort port;
        SetUpAsDevice(port, pty);
        port.SetSyncMethod(method);
        std::atomic<bool> onMain{false};
        std::atomic<int> count{0};
        port.OnRxChar = [&](TComponent*, int n) {
            onMain = std::this_thread::get_id() == mainThread;
            count = n;
        };
        port.Open();
        pty.Send("xyz");
        ASSERT_TRUE(ServeUntil([&] { return count.load() == 3; })) << method;
        EXPECT_EQ(onMain.load(), method != smNone) << method;
    }
}

// ---- failures and shutdown ----

TEST(ComPort, AThrowingHandlerEndsTheEventThreadButNotTheConnection) {
    TPtyPair pty;
    TComPort port;
    SetUpAsDevice(port, pty);
    int calls = 0;
    port.OnRxChar = [&](TComponent*, int) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    port.Open();
    pty.Send("1");
    ASSERT_TRUE(ServeUntil([&] { return calls == 1; }));
    pty.Send("2");
    WaitWithMessages(100);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(port.GetConnected());

    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    // Reopening brings the events back.
    port.OnRxChar = [&](TComponent*, int) { ++calls; };
    port.Open();
    pty.Send("3");
    EXPECT_TRUE(ServeUntil([&] { return calls >= 2; }));
}

TEST_F(ComPortOnPty, CloseFromASlowHandlerTheEventThreadWaitsForReturns) {
    bool closeWithinHandler = true;
    Port.OnRxChar = [&](TComponent*, int count) {
        Log.Lines.push_back("RxChar " + std::to_string(count));
        if (!closeWithinHandler) return;
        WaitWithMessages(30);
        Port.Close();
    };
    OpenQuietly();
    Pty.Send("1");
    ASSERT_TRUE(ServeUntil([&] { return Log.Has("AfterClose"); }));
    EXPECT_FALSE(Port.GetConnected());
    EXPECT_EQ(Log.Lines.front(), "RxChar 1");

    closeWithinHandler = false;
    OpenQuietly();
    Pty.Send("2");
    EXPECT_TRUE(ServeUntil([&] { return Log.Has("RxChar 2"); }));
}

TEST(ComPort, CloseWhileADispatchIsQueuedReturns) {
    TPtyPair pty;
    TComPort port;
    SetUpAsDevice(port, pty);
    port.OnRxChar = [&](TComponent*, int) { WaitWithMessages(5); };
    for (int round = 0; round < 20; ++round) {
        port.Open();
        pty.Send("x");
        // Not served: the event thread may be blocked handing the bytes over.
        std::this_thread::yield();
        port.Close();
    }
    SUCCEED();
}

TEST_F(ComPortOnPty, AfterAHangUpTheEventThreadIdlesAndCloseIsPrompt) {
    OpenQuietly();

    Pty.CloseMaster();
    WaitWithMessages(20);
    const auto cpuBefore = ProcessCpuTime();
    WaitWithMessages(1000);
    const auto cpuUsed = ProcessCpuTime() - cpuBefore;
    EXPECT_LT(cpuUsed, 50ms);
    EXPECT_TRUE(Log.Lines.empty());

    const auto start = std::chrono::steady_clock::now();
    Port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_FALSE(Port.GetConnected());
}


// ---- handlers that close, reopen or destroy the port ----

namespace reentrance {

// An event handler that acts once, so that the nested call it makes does not recurse.
TComPort::TNotifyEvent Once(std::function<void()> action) {
    return [action = std::move(action), done = false](TComponent*) mutable {
        if (!std::exchange(done, true)) action();
    };
}

TEST_F(ComPortOnPty, AClosedPortInTheAfterOpenHandlerEndsOpenWithoutReadingItsLines) {
    Port.OnAfterOpen = Once([&] { Port.Close(); });
    EXPECT_EQ(ErrorCodeOf([&] { Port.Open(); }), 0);
    EXPECT_FALSE(Port.GetConnected());
    std::vector<std::string> expected = {"BeforeOpen", "link Conn 1"};
    expected.insert(expected.end(), CloseSequence.begin(), CloseSequence.end());
    EXPECT_EQ(Log.Take(), expected);
}

TEST_F(ComPortOnPty, AReopenInTheAfterOpenHandlerRaisesTheLineEventsOnce) {
    Port.OnAfterOpen = Once([&] {
        Port.Close();
        Port.Open();
    });
    Port.Open();
    EXPECT_TRUE(Port.GetConnected());
    const std::vector<std::string> lines = Log.Take();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "RLSD 0"), 2) << "one at the close, one at the reopen";
    EXPECT_EQ(lines.back(), "RLSD 0");
}

TEST_F(ComPortOnPty, ACloseNestedInBeforeCloseCompletesAndTheOuterCloseEndsQuietly) {
    OpenQuietly();
    Port.OnBeforeClose = Once([&] { Port.Close(); });
    EXPECT_EQ(ErrorCodeOf([&] { Port.Close(); }), 0);
    EXPECT_FALSE(Port.GetConnected());
    EXPECT_EQ(std::count(Log.Lines.begin(), Log.Lines.end(), "AfterClose"), 1);
}

TEST_F(ComPortOnPty, CloseServesOnlyItsOwnEventThreadSoAnotherCallerClosesNothingTwice) {
    OpenQuietly();
    TMainThreadHandOver::Instance().post([&] { Port.Close(); });
    Port.Close();
    TMainThreadHandOver::Instance().serve();
    EXPECT_EQ(Log.Take(), CloseSequence);
}

TEST(ComPort, APortDestroyedInsideItsOwnDispatchEndsWithoutHanging) {
    TPtyPair pty;
    auto port = std::make_unique<TComPort>();
    SetUpAsDevice(*port, pty);
    port->OnRxChar = [&](TComponent*, int) { port.reset(); };
    port->Open();
    pty.Send("x");
    EXPECT_TRUE(ServeUntil([&] { return port == nullptr; }));
}

} // namespace reentrance

// ---- a device that goes away ----

int ThreadCount() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

TEST(ComPort, CloseAfterAHangUpCompletesAndTheSameNameOpensWhenItComesBack) {
    const std::filesystem::path name = std::filesystem::current_path() / "kelvo-port-link";
    std::filesystem::remove(name);
    auto pty = std::make_unique<TPtyPair>();
    std::filesystem::create_symlink(pty->SlavePath(), name);
    TComPort port;
    TEventLog log(port);
    SetUpAsDevice(port, *pty);
    port.SetPort(name.string());
    port.Open();
    const int threadsOpen = ThreadCount();

    pty->CloseMaster();
    WaitWithMessages(20);
    log.Take();
    EXPECT_EQ(ErrorCodeOf([&] { port.Close(); }), 0);
    EXPECT_FALSE(port.GetConnected());
    EXPECT_TRUE(log.Has("AfterClose"));
    EXPECT_EQ(ThreadCount(), threadsOpen - 1) << "the event thread ended";

    pty = std::make_unique<TPtyPair>();
    std::filesystem::remove(name);
    std::filesystem::create_symlink(pty->SlavePath(), name);
    port.Open();
    pty->Send("back");
    EXPECT_TRUE(ServeUntil([&] { return log.Has("RxChar 4"); }));
    std::filesystem::remove(name);
}

TEST(ComPort, AFailureAfterTheDeviceOpenedLeavesNothingLocked) {
    struct TCountersFailOnce : TComPort {
        bool Fail = true;
        void CreateHandle() override {
            TComPort::CreateHandle();
            if (std::exchange(Fail, false)) throw EComPort(ComError::ClearCommError, EIO);
        }
    };
    TPtyPair pty;
    TCountersFailOnce port;
    SetUpAsDevice(port, pty);
    EXPECT_EQ(ErrorCodeOf([&] { port.Open(); }), 10);
    EXPECT_FALSE(port.GetConnected());
    EXPECT_EQ(ErrorCodeOf([&] { port.Open(); }), 0);
    EXPECT_TRUE(port.GetConnected());
}

TEST(ComPort, ReadStringKeepsWhatItReadBeforeAHangUpAndThenFailsAsARead) {
    TPtyPair pty;
    TComPort port;
    OpenForTimedReads(port, pty, 5000);
    pty.Send("ab");
    std::thread unplug([&] {
        std::this_thread::sleep_for(50ms);
        pty.CloseMaster();
    });
    ByteString read;
    const int count = port.ReadString(read, 10);
    unplug.join();
    EXPECT_EQ(count, 2);
    EXPECT_EQ(read, "ab");
    int systemCode = 0;
    EXPECT_EQ(ErrorCodeOf([&] { port.ReadString(read, 10); }, &systemCode), 3);
    EXPECT_EQ(systemCode, EIO);
}

} // namespace
