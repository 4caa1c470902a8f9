#include "terminal/ExecutableFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

namespace {

// A program folder laid out as an installation lays it out, with the per-user data folder of
// the test inside the same temporary folder.
class ExecutableFolderTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Root.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(Root.filePath("data")));
        QDir().mkpath(Root.filePath("usr/bin"));
    }
    void TearDown() override {
        QFile::setPermissions(Root.filePath("usr/bin"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qunsetenv("XDG_DATA_HOME");
    }
    void InstallDesktopEntry() {
        QDir().mkpath(Root.filePath("usr/share/applications"));
        QFile entry(Root.filePath("usr/share/applications/kelvo-terminal.desktop"));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    }
    QString DataFolder() const { return Root.filePath("data/") + QCoreApplication::applicationName() + "/"; }

    QTemporaryDir Root;
};

TEST_F(ExecutableFolderTest, AWritableFolderOfACopiedProgramKeepsTheFilesBesideIt) {
    EXPECT_EQ(ExecutableFolderFor(Root.filePath("usr/bin")), Root.filePath("usr/bin/"));
}

TEST_F(ExecutableFolderTest, AnInstalledProgramInAReadOnlyFolderKeepsThemInTheUsersDataFolder) {
    InstallDesktopEntry();
    QFile::setPermissions(Root.filePath("usr/bin"),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    EXPECT_EQ(ExecutableFolderFor(Root.filePath("usr/bin")), DataFolder());
    EXPECT_TRUE(QDir(DataFolder()).exists());
}

TEST_F(ExecutableFolderTest, AnInstalledProgramThatCouldWriteItsFolderStillUsesTheDataFolder) {
    // As root, /usr/bin is writable: the files must not land among the installed programs.
    InstallDesktopEntry();
    EXPECT_EQ(ExecutableFolderFor(Root.filePath("usr/bin")), DataFolder());
}

TEST_F(ExecutableFolderTest, AnUncreatableDataFolderIsStillTheOneNamed) {
    // A file where the data folder should be: the folder cannot be made, and the program's
    // files must not fall back to the working folder.
    InstallDesktopEntry();
    QFile blocker(Root.filePath("data"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_EQ(ExecutableFolderFor(Root.filePath("usr/bin")), DataFolder());
}

// The program's folder made read-only mid-run, in a mount namespace of this test's own.
TEST(ExecutableFolderOnceTest, TheFolderChosenAtStartStaysWhenItsRightsChange) {
    const QByteArray folder = QFile::encodeName(QCoreApplication::applicationDirPath());
    const QString chosen = ExecutableFolder();
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "a mount namespace of its own needs root";
    // (Root may write the program's folder, so it was chosen.)
    ASSERT_EQ(chosen, QCoreApplication::applicationDirPath() + u'/');
    const bool readOnly =
        ::mount(nullptr, folder.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    const QString later = ExecutableFolder();
    ::umount2(folder.constData(), MNT_DETACH);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(later, chosen);
}

} // namespace
