#include "terminal/LogToFile.h"
#include "terminal/EInOutError.h"
#include "terminal/ExecutableFolder.h"

#include "support/SmallDisk.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ContentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class LogToFileTest : public testing::Test {
protected:
    QString PathOf(const QString& name) const { return Folder.filePath(name); }

    QTemporaryDir Folder;
    TLogToFile Log;
};

// --- file names ---

TEST_F(LogToFileTest, RelativeNameIsCompletedOnceWithTheExecutableFolder) {
    Log.SetLogFileName(QStringLiteral("LogToFileTest-relative.Txt"));
    Log.Add(QStringLiteral("one"));
    // (The per-user folder when the program's own takes no file, as for a user who did not install it.)
    const QString expected = BesideExecutable(QStringLiteral("LogToFileTest-relative.Txt"));
    EXPECT_EQ(Log.GetLogFileName(), expected);
    Log.Add(QStringLiteral("two"));
    EXPECT_EQ(Log.GetLogFileName(), expected);
    EXPECT_EQ(ContentsOf(expected), "one\r\ntwo\r\n");
    QFile::remove(expected);
}

TEST_F(LogToFileTest, AbsoluteNameIsUsedUnchangedAndAppendedTo) {
    const QString path = PathOf(QStringLiteral("CS.log"));
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old\r\n");
    existing.close();
    Log.SetLogFileName(path);
    Log.Add(QStringLiteral("new"));
    EXPECT_EQ(Log.GetLogFileName(), path);
    EXPECT_EQ(ContentsOf(path), "old\r\nnew\r\n");
}

TEST_F(LogToFileTest, FileThatCannotBeOpenedRaisesFromAddNamingTheFile) {
    const QString path = PathOf(QStringLiteral("missing-folder/CS.log"));
    Log.SetLogFileName(path);
    try {
        Log.Add(QStringLiteral("lost"));
        FAIL() << "Add wrote into a folder that does not exist";
    } catch (const EInOutError& error) {
        EXPECT_TRUE(QString::fromStdString(error.what()).contains(QStringLiteral("missing-folder")));
    }
    EXPECT_FALSE(QFile::exists(path));
}

// --- line layout ---

TEST_F(LogToFileTest, PrefixDateTimeSeparatorTextAndSuffixComeInThisOrder) {
    Log.SetLogFileName(PathOf(QStringLiteral("order.txt")));
    Log.SetIncPrefix(true);
    Log.SetPrefix(QStringLiteral("P"));
    Log.SetIncDateTime(true);
    Log.SetDateTimeFormatStr(QStringLiteral("yyyy-mm-dd hh:nn:ss"));
    Log.SetIncSeparator(true);
    Log.SetSeparator(QStringLiteral(" - "));
    Log.SetIncSuffix(true);
    Log.SetSuffix(QStringLiteral("!"));
    Log.Add(QStringLiteral("text"));
    const QString line = QString::fromLocal8Bit(ContentsOf(Log.GetLogFileName()));
    const QRegularExpression layout(QStringLiteral("^P\\d{4}-\\d\\d-\\d\\d \\d\\d.\\d\\d.\\d\\d - text!\r\n$"));
    EXPECT_TRUE(layout.match(line).hasMatch()) << line.toStdString();
}

TEST_F(LogToFileTest, PartsThatAreSwitchedOffAreLeftOut) {
    Log.SetLogFileName(PathOf(QStringLiteral("plain.txt")));
    Log.SetPrefix(QStringLiteral("P"));
    Log.SetSeparator(QStringLiteral(" - "));
    Log.SetSuffix(QStringLiteral("!"));
    Log.Add(QStringLiteral("text"));
    EXPECT_EQ(ContentsOf(Log.GetLogFileName()), "text\r\n");
}

TEST_F(LogToFileTest, EmptyDateTimeFormatBecomesTheCompleteFormAndStaysSo) {
    Log.SetLogFileName(PathOf(QStringLiteral("format.txt")));
    Log.SetIncDateTime(true);
    Log.SetDateTimeFormatStr(QString());
    Log.Add(QStringLiteral("x"));
    EXPECT_EQ(Log.GetDateTimeFormatStr(), QStringLiteral("c"));
    EXPECT_GT(ContentsOf(Log.GetLogFileName()).size(), QByteArray("x\r\n").size());
}

TEST_F(LogToFileTest, EmptyLinesBeforeAndAfterSurroundTheLine) {
    Log.SetLogFileName(PathOf(QStringLiteral("lines.txt")));
    Log.Add(QStringLiteral("mid"), 2, 1);
    EXPECT_EQ(ContentsOf(Log.GetLogFileName()), "\r\n\r\nmid\r\n\r\n");
}

// --- overwriting and clearing ---

TEST_F(LogToFileTest, OverwriteKeepsOnlyTheLastLine) {
    Log.SetLogFileName(PathOf(QStringLiteral("last.txt")));
    Log.SetOverwriteExistingFile(true);
    Log.Add(QStringLiteral("first"));
    Log.Add(QStringLiteral("second"), 1);
    EXPECT_EQ(ContentsOf(Log.GetLogFileName()), "\r\nsecond\r\n");
}

TEST_F(LogToFileTest, ClearOnCreateEmptiesTheStoredFileOnceAfterLoading) {
    const QString path = PathOf(QStringLiteral("cleared.txt"));
    Log.SetLogFileName(path);
    Log.Add(QStringLiteral("from the last run"));
    Log.BeginLoading();
    Log.SetClearonCreate(true);
    EXPECT_EQ(ContentsOf(path), "from the last run\r\n");
    Log.EndLoading();
    EXPECT_EQ(ContentsOf(path), "");
    EXPECT_FALSE(Log.GetOverwriteExistingFile());
    Log.Add(QStringLiteral("a"));
    Log.Add(QStringLiteral("b"));
    EXPECT_EQ(ContentsOf(path), "a\r\nb\r\n");
}

// --- a full disk ---

TEST(LogToFileFullDiskTest, ALineIsWrittenWholeOrNotAndTheNextAlwaysStartsOnItsOwn) {
    TSmallDisk disk;
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    TLogToFile log;
    log.SetLogFileName(disk.Path(QStringLiteral("CS.log")));
    log.Add(QStringLiteral("start"));
    disk.Fill();
    std::string failure;
    for (int i = 0; i < 1000 && failure.empty(); ++i) {
        try {
            log.Add(QStringLiteral("line %1 ").arg(i) + QString(37, u'x'));
        } catch (const EInOutError& error) {
            failure = error.what();
        }
    }
    EXPECT_NE(failure.find("No space left on device"), std::string::npos) << failure;
    disk.Free();
    log.Add(QStringLiteral("after"));
    const QList<QByteArray> lines = ContentsOf(log.GetLogFileName()).split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.first(), "start\r");
    EXPECT_EQ(lines[lines.size() - 2], "after\r");
    EXPECT_EQ(lines.last(), "");
    const QRegularExpression whole(QStringLiteral("^line \\d+ x{37}\r$"));
    for (qsizetype i = 1; i + 2 < lines.size(); ++i)
        EXPECT_TRUE(whole.match(QString::fromLatin1(lines[i])).hasMatch()) << lines[i].toStdString();
}

TEST_F(LogToFileTest, ALineLeftWithoutItsEndIsEndedBeforeTheNext) {
    const QString path = PathOf(QStringLiteral("CS.log"));
    for (const QByteArray& torn : {QByteArray("half"), QByteArray("half\r")}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(torn);
        file.close();
        Log.SetLogFileName(path);
        Log.Add(QStringLiteral("next"));
        EXPECT_EQ(ContentsOf(path), "half\r\nnext\r\n");
    }
}

} // namespace
