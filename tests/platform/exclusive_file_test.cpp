// Files held open for writing: the activity log for one line at a time, the instance lock for a
// whole run. Share modes apply to each open, so one process shows what two processes would.
#include "platform/os.h"
#include "platform/textfile.h"
#include "side.h"

#include <gtest/gtest.h>

using platform::ExclusiveFile;
using Result = ExclusiveFile::OpenResult;
using Mode = ExclusiveFile::Mode;

namespace {
enum class Before { Nothing, Content, HeldByAnother, NoFolder, AFolder };

struct OpenCase {
    const char* name;
    Before before;
    Mode mode;
    Result result;
    // The file afterwards; the opener writes "new\r\n" when it gets in.
    const char* content;
};

const OpenCase kOpenCases[] = {
    {"new file, append", Before::Nothing, Mode::Append, Result::Ok, "new\r\n"},
    {"new file, replace", Before::Nothing, Mode::Replace, Result::Ok, "new\r\n"},
    {"existing file, append", Before::Content, Mode::Append, Result::Ok, "old\r\nnew\r\n"},
    {"existing file, replace", Before::Content, Mode::Replace, Result::Ok, "new\r\n"},
    {"held, append", Before::HeldByAnother, Mode::Append, Result::Busy, "held\r\n"},
    // A refused writer never clears the holder's line.
    {"held, replace", Before::HeldByAnother, Mode::Replace, Result::Busy, "held\r\n"},
    {"missing folder", Before::NoFolder, Mode::Append, Result::NoFolder, nullptr},
    {"a folder by that name", Before::AFolder, Mode::Replace, Result::Failed, nullptr},
};
} // namespace

TEST(ExclusiveFile, OpenOutcomes) {
    for (const OpenCase& c : kOpenCases) {
        SCOPED_TRACE(c.name);
        side::WorkFolder work;
        std::string path = work.path("Vortalis.LOG");
        ExclusiveFile holder;
        switch (c.before) {
        case Before::Nothing:
            break;
        case Before::Content:
            work.write("Vortalis.LOG", "old\r\n");
            break;
        case Before::HeldByAnother:
            ASSERT_EQ(holder.open(path, Mode::Replace), Result::Ok);
            ASSERT_TRUE(holder.write("held\r\n"));
            break;
        case Before::NoFolder:
            path = work.path("Log") + side::kSeparator + "Vortalis.LOG";
            break;
        case Before::AFolder:
            work.makeFolder("Vortalis.LOG");
            break;
        }
        ExclusiveFile file;
        ASSERT_EQ(file.open(path, c.mode), c.result);
        EXPECT_EQ(file.isOpen(), c.result == Result::Ok);
        if (file.isOpen()) {
            EXPECT_TRUE(file.write("new\r\n"));
            EXPECT_TRUE(file.close());
        }
        if (c.content != nullptr)
            EXPECT_EQ(work.read("Vortalis.LOG"), c.content);
        else
            EXPECT_FALSE(platform::fileExists(path));
    }
}

TEST(ExclusiveFile, ReadersAreLetInWhileItIsHeld) {
    side::WorkFolder work;
    ExclusiveFile lock;
    ASSERT_EQ(lock.open(work.path("ATIVO_VORTALIS.001"), Mode::Replace), Result::Ok);
    ASSERT_TRUE(lock.write("VORTALIS 1 ATIVADO EM 08/12/2021 14:03:07\r\n"));
    // Written through at once: another process reads who holds the lock and since when.
    EXPECT_EQ(work.read("ATIVO_VORTALIS.001"), "VORTALIS 1 ATIVADO EM 08/12/2021 14:03:07\r\n");
    ExclusiveFile second;
    EXPECT_EQ(second.open(work.path("ATIVO_VORTALIS.001"), Mode::Replace), Result::Busy);
}

TEST(ExclusiveFile, LettingGoLetsTheNextWriterIn) {
    side::WorkFolder work;
    const std::string path = work.path("Vortalis.LOG");
    {
        ExclusiveFile first;
        ASSERT_EQ(first.open(path, Mode::Append), Result::Ok);
        ASSERT_TRUE(first.write("one\r\n"));
    } // closed on destruction
    ExclusiveFile second;
    ASSERT_EQ(second.open(path, Mode::Append), Result::Ok);
    ASSERT_TRUE(second.write("two\r\n"));
    EXPECT_TRUE(second.close());
    EXPECT_EQ(work.read("Vortalis.LOG"), "one\r\ntwo\r\n");

    // Nothing open: nothing to write, nothing to close.
    EXPECT_FALSE(second.isOpen());
    EXPECT_FALSE(second.write("three\r\n"));
    EXPECT_FALSE(second.close());
    // Opening again closes what was open before.
    ASSERT_EQ(second.open(path, Mode::Append), Result::Ok);
    ASSERT_EQ(second.open(work.path("other"), Mode::Append), Result::Ok);
    ExclusiveFile third;
    EXPECT_EQ(third.open(path, Mode::Append), Result::Ok);
}

TEST(ExclusiveFile, HoldsOnlyTheFileItHasOpen) {
    side::WorkFolder work;
    work.write("other", "x");
    ExclusiveFile lock;
    EXPECT_FALSE(lock.holds(work.path("ATIVO_VORTALIS.001")));
    ASSERT_EQ(lock.open(work.path("ATIVO_VORTALIS.001"), Mode::Replace), Result::Ok);
    EXPECT_TRUE(lock.holds(work.path("ATIVO_VORTALIS.001")));
    EXPECT_FALSE(lock.holds(work.path("other")));
    EXPECT_FALSE(lock.holds(work.path("missing")));
    EXPECT_TRUE(lock.close());
    EXPECT_FALSE(lock.holds(work.path("ATIVO_VORTALIS.001")));
}

// The instance lock is removed by its holder before it lets go, so that no other instance's
// file is ever removed in its place.
TEST(ExclusiveFile, TheHolderMayRemoveItsFileBeforeLettingGo) {
    side::WorkFolder work;
    const std::string path = work.path("ATIVO_VORTALIS.001");
    ExclusiveFile lock;
    ASSERT_EQ(lock.open(path, Mode::Replace), Result::Ok);
    EXPECT_TRUE(platform::deleteFile(path));
    EXPECT_TRUE(lock.close());
    EXPECT_FALSE(platform::fileExists(path));
    ExclusiveFile next;
    EXPECT_EQ(next.open(path, Mode::Replace), Result::Ok);
}

TEST(WholeFile, CreatesOrReplacesInOneGo) {
    side::WorkFolder work;
    EXPECT_TRUE(platform::writeWholeFile(work.path("00001.error"), "a much longer first content\r\n"));
    EXPECT_TRUE(platform::writeWholeFile(work.path("00001.error"), "08/12/2021 14:03:07\r\n"));
    EXPECT_EQ(work.read("00001.error"), "08/12/2021 14:03:07\r\n");
    EXPECT_FALSE(platform::writeWholeFile(work.path("missing") + side::kSeparator + "00001.error", "x"));
    work.makeFolder("a folder");
    EXPECT_FALSE(platform::writeWholeFile(work.path("a folder"), "x"));
}

// Only the share mode of Windows keeps a plain writer out; the advisory lock elsewhere binds
// only those who ask for it.
TEST(WholeFile, AgainstAHeldFile) {
    side::WorkFolder work;
    ExclusiveFile holder;
    ASSERT_EQ(holder.open(work.path("held"), Mode::Replace), Result::Ok);
    ASSERT_TRUE(holder.write("held\r\n"));
    const side::PerSide<bool> written{true, false};
    EXPECT_EQ(platform::writeWholeFile(work.path("held"), "other\r\n"), written.here());
    EXPECT_EQ(work.read("held"), written.here() ? "other\r\n" : "held\r\n");
}

// Another process, as a second instance of the program is: it is kept out while the file is
// held, and a holder that ends without closing leaves the file free.
TEST(ExclusiveFile, BetweenProcesses) {
    side::WorkFolder work;
    const std::string held = work.path("held"), left = work.path("left");
    ExclusiveFile holder;
    ASSERT_EQ(holder.open(held, Mode::Replace), Result::Ok);
    EXPECT_EQ(side::runHolder("try", held), 0);
    ASSERT_EQ(side::runHolder("leave", left), 0);
    ExclusiveFile next;
    EXPECT_EQ(next.open(left, Mode::Append), Result::Ok);
    EXPECT_EQ(work.read("left"), "left\r\n");
}
