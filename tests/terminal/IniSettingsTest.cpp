#include "terminal/IniSettings.h"

#include "support/FileContents.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void WriteFile(const QString& path, const QByteArray& contents) { ASSERT_TRUE(WriteContents(path, contents)); }

class IniSettingsTest : public testing::Test {
protected:
    QString Path() const { return Folder.filePath(QStringLiteral("settings.ini")); }

    QTemporaryDir Folder;
    TIniSettings Settings;
};

TEST_F(IniSettingsTest, WithoutAFileNothingIsReadAndSaveCreatesItWithTheSixKeys) {
    Settings.HrFilter2Active = false;
    EXPECT_FALSE(Settings.Load(Path()));
    EXPECT_FALSE(Settings.HrFilter2Active);
    EXPECT_EQ(Settings.IncrementInterval, 5);

    Settings.IncrementStep = 12;
    EXPECT_EQ(Settings.Save(Path()), "");
    EXPECT_EQ(ContentsOf(Path()), "[General]\r\nWriteMemo=1\r\nMantConsActive=1\r\nEnableConSurvey=1\r\n"
                                  "HrFilter2Active=0\r\nIncrementStep=12\r\nIncrementInterval=5\r\n");
}

TEST_F(IniSettingsTest, ReadRulesKeepTheCurrentValueForMissingOrNonIntegerAndClampIncrements) {
    WriteFile(Path(), "[general]\nWriteMemo = 0\nMantConsActive=7\nEnableConSurvey=yes\n"
                      "IncrementStep=500\nIncrementInterval=-3\n");
    Settings.EnableConSurvey = false;
    Settings.HrFilter2Active = false;
    ASSERT_TRUE(Settings.Load(Path()));
    EXPECT_FALSE(Settings.WriteMemo);
    EXPECT_TRUE(Settings.MantConsActive);   // any integer but 0
    EXPECT_FALSE(Settings.EnableConSurvey); // not an integer: kept
    EXPECT_FALSE(Settings.HrFilter2Active); // missing: kept
    EXPECT_EQ(Settings.IncrementStep, 150);
    EXPECT_EQ(Settings.IncrementInterval, 1);

    WriteFile(Path(), "[General]\r\nIncrementStep=abc\r\nIncrementInterval=99999999999999999999\r\n");
    ASSERT_TRUE(Settings.Load(Path()));
    EXPECT_EQ(Settings.IncrementStep, 150);
    EXPECT_EQ(Settings.IncrementInterval, 1);
}

TEST_F(IniSettingsTest, SavingReplacesOnlyItsKeysAndKeepsEveryOtherLine) {
    WriteFile(Path(), "; kept\n[Other]\nWriteMemo=5\n[General]\nWriteMemo=0\nMine=1\n[Tail]\nx=y");
    Settings.Load(Path());
    EXPECT_FALSE(Settings.WriteMemo);
    ASSERT_EQ(Settings.Save(Path()), "");
    EXPECT_EQ(ContentsOf(Path()), "; kept\n[Other]\nWriteMemo=5\n[General]\nWriteMemo=0\nMine=1\n"
                                  "MantConsActive=1\nEnableConSurvey=1\nHrFilter2Active=1\nIncrementStep=1\n"
                                  "IncrementInterval=5\n[Tail]\nx=y");
}

TEST_F(IniSettingsTest, BinaryFileLoadsDefaultsAndSavingKeepsItsBytes) {
    const QByteArray garbage("\x00\xff\x89PNG\r\n\x1a\n[Gen\x00]=\x01\x02", 18);
    WriteFile(Path(), garbage);
    ASSERT_TRUE(Settings.Load(Path()));
    EXPECT_TRUE(Settings.WriteMemo);
    EXPECT_EQ(Settings.IncrementStep, 1);

    Settings.WriteMemo = false;
    ASSERT_EQ(Settings.Save(Path()), "");
    EXPECT_TRUE(ContentsOf(Path()).startsWith(garbage + "\r\n[General]\r\n"));
    TIniSettings reread;
    reread.Load(Path());
    EXPECT_FALSE(reread.WriteMemo);
}

TEST_F(IniSettingsTest, FailedWriteIsReportedAndLeavesTheOldFile) {
    // A folder where the file should be: the new file can be written but never put in place.
    ASSERT_TRUE(QDir(Folder.path()).mkdir(QStringLiteral("settings.ini")));
    const std::string message = Settings.Save(Path());
    EXPECT_NE(message.find("Cannot write the settings file"), std::string::npos) << message;
    EXPECT_TRUE(QFileInfo(Path()).isDir());

    const QString inMissingFolder = Folder.filePath(QStringLiteral("gone/settings.ini"));
    EXPECT_NE(Settings.Save(inMissingFolder), "");
    EXPECT_FALSE(QFile::exists(inMissingFolder));
}

TEST(IniSettingsFullDiskTest, AFullDiskKeepsEveryByteOfTheOldFileAndSaysWhy) {
    TSmallDisk disk;
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    const QString path = disk.Path(QStringLiteral("settings.ini"));
    const QByteArray old = "[Mine]\r\nkept=1\r\n[General]\r\nWriteMemo=1\r\n";
    WriteFile(path, old);
    disk.Fill();
    TIniSettings settings;
    settings.WriteMemo = false;
    const std::string message = settings.Save(path);
    EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
    EXPECT_EQ(ContentsOf(path), old);
}

} // namespace
