#include "terminal/BoxRecorder.h"
#include "terminal/GraphData.h"
#include "terminal/GraphSampler.h"
#include "terminal/OrientationPresenter.h"
#include "terminal/RegulToolFeed.h"
#include "terminal/TerminalSession.h"

#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

ByteString SerialFrame(std::uint8_t hex1, std::uint8_t hex2) {
    return BytesOf({0xF0, 0x03, 0x01, 0xE2, 0x40, hex1, hex2, 0x00, 0x00, 0xF7});
}

QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

class OrientationTest : public testing::Test {
protected:
    TTerminalSession session;
    TBoxRecorder boxes;
    TOrientationPresenter orientation{session, boxes};
    QTemporaryDir folder;
    TOrientationPresenter::TLabels shown;

    void SetUp() override {
        orientation.OnLabels = [this](const TOrientationPresenter::TLabels& labels) { shown = labels; };
        orientation.HexLog().SetLogFileName(folder.filePath(TOrientationPresenter::HexLogName));
        session.Device().SetSimulationMode(true); // connected without a port
    }
};

} // namespace

// ---- Orientation ----

TEST(OrientationTextTest, LabelsOfTheBytesAngleAndHeading) {
    const auto high = TOrientationPresenter::Labels(200, 5, 10.0 - 12.5);
    EXPECT_EQ(high.Hex1, "C8");
    EXPECT_EQ(high.Byte1, "-56");
    EXPECT_EQ(high.Hex2, "5");
    EXPECT_EQ(high.Byte2, "5");
    EXPECT_EQ(high.Angle, "-2.5\u00B0");
    EXPECT_EQ(high.Heading, 358); // round(-2.5) = -2, shown modulo 360
    EXPECT_EQ(TOrientationPresenter::Labels(5, 200, 0).Hex1, " 5");
    EXPECT_EQ(TOrientationPresenter::DialHeading(721.4), 1);
}

TEST_F(OrientationTest, TicksShowThePreviousAnswerAndLogRawSamplesAfterTheHeaders) {
    session.Device().ParseMessage(SerialFrame(200, 5));
    orientation.SetStartingAngle();
    orientation.SetWriteHexValues(true);
    orientation.Tick();
    EXPECT_EQ(shown.Angle, "0.0\u00B0");
    orientation.SetWriteHexValues(false); // unchecking still writes the headers
    orientation.Tick();
    const QStringList lines = FileLines(orientation.HexLog().GetLogFileName());
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1], "Hex1\tHex2\tVal1\tVal2\tAngle");
    const double raw = session.Device().GetOrientation();
    EXPECT_EQ(lines[2].toStdString(), "200\t5\t-56\t5\t" + EventText::Fixed(raw, 2));
    EXPECT_EQ(lines[4], "Hex1\tHex2\tVal1\tVal2\tAngle");
    EXPECT_TRUE(boxes.Shown.empty());
    std::string hex;
    orientation.OnHexLabels = [&](const std::string& hex1, const std::string& hex2) { hex = hex1 + "|" + hex2; };
    orientation.RefreshHexLabels();
    EXPECT_EQ(hex, "C8|5");
}

TEST_F(OrientationTest, AFailedHexLogUnchecksTheBoxAndIsReportedOnce) {
    int unchecked = 0;
    orientation.OnWriteHexValuesUnchecked = [&] { ++unchecked; };
    orientation.HexLog().SetLogFileName(folder.filePath(QStringLiteral("missing/HexValues.Txt")));
    orientation.SetWriteHexValues(true);
    orientation.Tick();
    orientation.Tick();
    EXPECT_FALSE(orientation.GetWriteHexValues());
    EXPECT_EQ(unchecked, 1);
    EXPECT_EQ(boxes.Shown.size(), 1u);
}

TEST_F(OrientationTest, WithoutAConnectedDeviceTheLabelsKeepTheirTexts) {
    session.Device().SetSimulationMode(false);
    shown.Angle = "kept";
    orientation.Tick();
    EXPECT_EQ(shown.Angle, "kept");
}

TEST_F(OrientationTest, EnableOrientationFollowsEveryVersionChange) {
    std::vector<bool> box;
    orientation.OnEnableOrientationBox = [&](bool checked) { box.push_back(checked); };
    session.Device().SetVersion(5.5);
    session.Device().SetVersion(5);
    EXPECT_THAT(box, ElementsAre(true, false));
}

// ---- Graph sampling ----

class GraphSamplerTest : public testing::Test {
protected:
    TTerminalSession session;
    TGraphData graph;
    TGraphSampler sampler{session, graph};

    std::size_t PointsAfterTicks(int ticks) {
        for (int i = 0; i < ticks; ++i) sampler.StatsTick();
        return graph.Count();
    }
};

TEST_F(GraphSamplerTest, FrequencyZeroAddsNothingOneAddsAPointAtEveryTick) {
    EXPECT_EQ(PointsAfterTicks(3), 0u); // not enabled
    sampler.SetEnabled(true);
    sampler.SetSampleFrequencyText("0");
    EXPECT_EQ(PointsAfterTicks(5), 0u);
    sampler.SetSampleFrequencyText("1");
    EXPECT_EQ(PointsAfterTicks(4), 4u);
}

TEST_F(GraphSamplerTest, AChangedFrequencyRestartsTheCount) {
    sampler.SetEnabled(true);
    sampler.SetSampleFrequencyText("5");
    EXPECT_EQ(PointsAfterTicks(4), 0u);
    sampler.SetSampleFrequencyText("3"); // the next point 3 ticks later, not never
    EXPECT_EQ(PointsAfterTicks(2), 0u);
    EXPECT_EQ(PointsAfterTicks(1), 1u);
    sampler.SetSampleFrequencyText(""); // typing: nothing changes
    EXPECT_EQ(sampler.GetSampleFrequency(), 3);
}

TEST_F(GraphSamplerTest, PointsForPageAreBoundedAndAnEmptyFieldChangesNothing) {
    EXPECT_FALSE(sampler.SetPointsForPageText(""));
    EXPECT_FALSE(sampler.SetPointsForPageText("0"));
    EXPECT_FALSE(sampler.SetPointsForPageText("100001"));
    EXPECT_EQ(graph.GetPointsPerPage(), 60);
    EXPECT_TRUE(sampler.SetPointsForPageText("100000"));
    EXPECT_EQ(graph.GetPointsPerPage(), 100000);
}

TEST(GraphDataTest, PagesShowLastValueAndALongRunKeepsItsNewestPoints) {
    TGraphData graph;
    graph.SetPointsPerPage(10);
    for (int i = 0; i < 25; ++i) graph.Add({double(i), 0, 0, 0});
    graph.ShowLastValue();
    EXPECT_EQ(graph.Range(), (std::pair<std::int64_t, std::int64_t>(14, 24)));
    graph.ShowPage(0);
    graph.NextPage();
    graph.NextPage();
    graph.NextPage(); // beyond the last page
    EXPECT_EQ(graph.GetPage(), 2);
    EXPECT_EQ(graph.VisiblePoints(100).size(), 5u);
    graph.ShowPage(1);
    EXPECT_EQ(graph.VisiblePoints(4).size(), 4u); // 11 points thinned to every third
    for (std::size_t i = graph.Count(); i < TGraphData::MaxPoints + 10; ++i) graph.Add({0, 0, 0, 0});
    EXPECT_EQ(graph.Count(), TGraphData::MaxPoints);
    EXPECT_EQ(graph.Points().front().X, 10);
    EXPECT_EQ(graph.CsvText().substr(0, 30), "x;Velocita;Resistenza;Cadenza;");
}

// ---- Regulation tool feed ----

namespace {
class TRegulRecorder final : public TRegulToolView {
public:
    std::vector<std::string> Written;
    void ClearMemos() override { Written.push_back("clear"); }
    void AddHeartRegulLine(const std::string& line) override { Written.push_back(line); }
    void ShowHeartArray(const std::vector<std::string>& lines) override { Written.push_back(lines.back()); }
    void ShowSpeedAndCadenceArrays(const std::vector<std::string>& speed, const std::vector<std::string>&) override {
        Written.push_back(speed.front());
    }
    void ShowHeartLabel(const std::string& text) override { Written.push_back(text); }
    void ShowCadenceLabel(const std::string& text) override { Written.push_back(text); }
    void ShowSpeedLabel(const std::string& text) override { Written.push_back(text); }
};
} // namespace

TEST(RegulToolFeedTest, OpenWindowsGetTheEventsAndAClosedOneNothing) {
    TTerminalSession session;
    TRegulToolFeed feed(session);
    TRegulRecorder first;
    TRegulRecorder second;
    feed.Attach(first);
    feed.Attach(second);
    feed.Detach(first);
    session.Device().OnHeartConnectionLost(nullptr);
    session.Device().OnInstantHeart(nullptr, "1 0 2");
    session.Device().OnKelvoMessage(nullptr, mtInfos, 0, 0, 0, ByteString());
    EXPECT_TRUE(first.Written.empty());
    EXPECT_THAT(second.Written, ElementsAre("Heart conn. lost", "HR: ...", "1 0 2", "-----", "0.00000000"));
    EXPECT_EQ(TRegulToolFeed::HeartLabel(35), "HR: ...");
    EXPECT_EQ(TRegulToolFeed::HeartLabel(36), "HR: 36");
    EXPECT_EQ(TRegulToolFeed::CadenceLabel(0), "Cadence: ...");
    EXPECT_EQ(TRegulToolFeed::SpeedLabel(7.26L), "Speed: 7.3");
}
