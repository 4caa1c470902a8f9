#include "device_link/WholeFileWrite.h"

#include "support/FileContents.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;

void WriteFile(const QString& path, const QByteArray& contents) { ASSERT_TRUE(WriteContents(path, contents)); }

// A file the user may write in a folder that takes no new file: run as an unprivileged user,
// since root may create files anywhere.
TEST(WholeFileWriteTest, AFolderThatTakesNoTemporaryFileGetsTheFileWrittenInPlace) {
    if (::geteuid() != 0) GTEST_SKIP() << "changing to another user needs root";
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log.txt"));
    WriteFile(path, "old\n");
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), Nobody, Nobody), 0);
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                             QFile::ExeOther);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) ::_exit(2);
        const bool atomicRefused = !WriteWholeFile(path, "atomic\n").isEmpty();
        ::_exit(atomicRefused && WriteWholeFileInPlaceWhenNeeded(path, "in place\n").isEmpty() ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ContentsOf(path), "in place\n");
    EXPECT_TRUE(QDir::temp().entryList({QStringLiteral("log.txt.old-*")}).isEmpty()); // the copy went once done
}

} // namespace
