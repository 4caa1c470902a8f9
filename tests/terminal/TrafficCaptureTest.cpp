#include "terminal/TrafficCapture.h"

#include "device_link/ComLinkHost.h"
#include "support/SmallDisk.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A port's link side that the test drives: what a port tells its links when it reads.
class TTestHost : public TComLinkHost {
public:
    void Read(const std::string& bytes) {
        const auto count = static_cast<int>(bytes.size());
        ForEachLink([&](TComLink& link) {
            if (link.OnRead) link.OnRead(bytes.data(), count);
        });
        ForEachLink([&](TComLink& link) {
            if (link.OnRxBuf) link.OnRxBuf(this, bytes.data(), count);
        });
    }
};

class TrafficCaptureTest : public testing::Test {
protected:
    std::string Contents() const {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    QString Path() const { return Folder.filePath(QStringLiteral("ride.capture")); }

    QTemporaryDir Folder;
    double NowMs = 5000;
    TTrafficCapture Capture{[this] { return NowMs; }};
};

TEST_F(TrafficCaptureTest, ReadsAreTheConsolesOutWritesItsInTimedFromTheStart) {
    ASSERT_EQ(Capture.Start(Path().toStdString(), {"kelvo-terminal capture", "port /dev/pts/3"}), "");
    NowMs += 12.5;
    Capture.Sent(std::string("\xF0\x08\x28\x00\x00\xF7", 6));
    NowMs += 100.0004;
    Capture.Received(std::string("\xF0\x01", 2));
    Capture.Note("handshake");
    Capture.Stop();
    EXPECT_EQ(Contents(), "# kelvo-terminal capture\n# port /dev/pts/3\n"
                          "12.500 in F0 08 28 00 00 F7\n"
                          "112.500 out F0 01\n"
                          "112.500 note handshake\n");
}

// The splitter is linked first, yet the capture has each read before the splitter acts on it;
// and a capture alone takes no bytes from the port's own handler (the byte-stream family's road).
TEST_F(TrafficCaptureTest, AnAttachedCaptureKeepsEveryReadBeforeTheSplitterActs) {
    TTestHost port;
    std::string keptWhenSplit;
    TComLink splitter;
    splitter.OnRxBuf = [&](TComponent*, const char*, int) {
        Capture.Flush();
        keptWhenSplit = Contents();
    };
    port.RegisterLink(&splitter);
    Capture.Attach(port);
    ASSERT_EQ(Capture.Start(Path().toStdString(), {}), "");
    port.Read("\xF0\x01\xF7");
    EXPECT_EQ(keptWhenSplit, "0.000 out F0 01 F7\n");
    port.UnregisterLink(&splitter);
    EXPECT_FALSE(port.HasLink());
    Capture.Detach();
}

// A disk that takes no header refuses the start; one that fills later stops the capture, in the
// system's words either way.
TEST_F(TrafficCaptureTest, AFailedWriteStopsTheCaptureAndSaysWhy) {
    std::string told;
    Capture.OnFailed = [&](const std::string& message) { told = message; };
    EXPECT_EQ(Capture.Start("/dev/full", {"header"}), "No space left on device");
    EXPECT_FALSE(Capture.IsRunning());
    ASSERT_EQ(Capture.Start("/dev/full", {}), "");
    Capture.Received("\x01");
    Capture.Flush();
    EXPECT_FALSE(Capture.IsRunning());
    EXPECT_EQ(told, "The capture /dev/full stopped: No space left on device");
    EXPECT_NE(Capture.Start((Folder.path() + "/no/such/folder").toStdString(), {}), "");
}

// A real disk fills in the middle of a write: it takes a part, then refuses the rest.
TEST_F(TrafficCaptureTest, ADiskThatFillsMidWriteGivesTheSystemsReason_AndAChosenFileIsReplaced) {
    TSmallDisk disk;
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    const std::string path = disk.Path(QStringLiteral("ride.capture")).toStdString();
    ASSERT_EQ(Capture.Start(path, {"first ride"}), "");
    Capture.Stop();
    ASSERT_EQ(Capture.Start(path, {"second ride"}), "");
    Capture.Flush();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "# second ride\n");
    std::string told;
    Capture.OnFailed = [&](const std::string& message) { told = message; };
    disk.Fill(10);
    Capture.Received(std::string(10000, '\x55')); // beyond the file's last page
    Capture.Flush();
    EXPECT_FALSE(Capture.IsRunning());
    EXPECT_EQ(told, "The capture " + path + " stopped: No space left on device");
    // A new capture chosen over it on the full disk: the old one stays whole.
    ASSERT_TRUE(file.seek(0));
    const QByteArray kept = file.readAll();
    EXPECT_EQ(Capture.Start(path, {std::string(8000, 'h')}), "No space left on device");
    ASSERT_TRUE(file.seek(0));
    EXPECT_EQ(file.readAll(), kept);
}

} // namespace
