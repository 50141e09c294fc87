// Single instance: later starts hand their command line to the running copy, only
// the same user can, and a dead copy's socket never blocks a start.
#include "shell/InstanceChannel.h"

#include "ChildProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
    class ReceivedLines
    {
    public:
        void add (const std::string& line)
        {
            std::lock_guard<std::mutex> guard (lock);
            lines.push_back (line);
            changed.notify_all();
        }

        std::vector<std::string> waitFor (size_t count, int timeoutMs = 5000)
        {
            std::unique_lock<std::mutex> guard (lock);
            changed.wait_for (guard, std::chrono::milliseconds (timeoutMs), [&] { return lines.size() >= count; });
            return lines;
        }

    private:
        std::mutex lock;
        std::condition_variable changed;
        std::vector<std::string> lines;
    };

    class InstanceChannelTest : public ::testing::Test
    {
    protected:
        void SetUp() override { setenv ("XDG_RUNTIME_DIR", runtime.path().c_str(), 1); }
        void TearDown() override { unsetenv ("XDG_RUNTIME_DIR"); }

        ScratchFolder runtime;
    };
}

TEST_F (InstanceChannelTest, SecondStartHandsItsCommandLineOver)
{
    std::unique_ptr<InstanceChannel> first, second;
    ASSERT_EQ (InstanceChannel::claim ("", first), InstanceChannel::Outcome::firstCopy);
    ASSERT_NE (first, nullptr);
    EXPECT_EQ (first->getSocketPath(), runtime / "vorniq.socket");

    ReceivedLines received;
    first->startReceiving ([&] (const std::string& line) { received.add (line); });

    const std::string lines[] = {
        "",
        "-connected:\"/media/user/My Camera (2) \xc3\xa9t\xc3\xa9\"",
        "-disconnected:",
        "-connected:\"$(touch /tmp/x) `id` ; rm -rf ~\"\nsecond line",
    };

    for (auto& line : lines)
    {
        EXPECT_EQ (InstanceChannel::claim (line, second), InstanceChannel::Outcome::handedOver);
        EXPECT_EQ (second, nullptr);
    }

    auto got = received.waitFor (std::size (lines));
    ASSERT_EQ (got.size(), std::size (lines));

    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ (got[i], lines[i]);
}

TEST_F (InstanceChannelTest, ASocketLeftByACrashedCopyIsReplaced)
{
    // A socket file nobody listens on any more, as a killed copy leaves it.
    auto path = runtime / "vorniq.socket";
    auto fd = ::socket (AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strcpy (address.sun_path, path.c_str());
    ASSERT_EQ (::bind (fd, (sockaddr*) &address, sizeof (address)), 0);
    ::close (fd);

    std::unique_ptr<InstanceChannel> channel;
    EXPECT_EQ (InstanceChannel::claim ("", channel), InstanceChannel::Outcome::firstCopy);

    // So is a plain file in its place.
    channel.reset();
    writeTextFile (path, "junk");
    EXPECT_EQ (InstanceChannel::claim ("", channel), InstanceChannel::Outcome::firstCopy);
}

TEST_F (InstanceChannelTest, TheRunningCopyRemovesItsSocketWhenItEnds)
{
    std::unique_ptr<InstanceChannel> channel;
    ASSERT_EQ (InstanceChannel::claim ("", channel), InstanceChannel::Outcome::firstCopy);
    channel->startReceiving ([] (const std::string&) {});
    auto path = channel->getSocketPath();
    channel.reset();

    struct stat info {};
    EXPECT_NE (::stat (path.c_str(), &info), 0);
    EXPECT_EQ (InstanceChannel::claim ("", channel), InstanceChannel::Outcome::firstCopy);
}

TEST_F (InstanceChannelTest, AnotherUserCannotHandOver)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";

    // A runtime folder others may enter, so only the socket itself stands in the way.
    ::chmod (runtime.path().c_str(), 0777);

    std::unique_ptr<InstanceChannel> channel;
    ASSERT_EQ (InstanceChannel::claim ("", channel), InstanceChannel::Outcome::firstCopy);
    ReceivedLines received;
    channel->startReceiving ([&] (const std::string& line) { received.add (line); });

    auto child = ::fork();
    ASSERT_GE (child, 0);

    if (child == 0)
    {
        if (::setgid (65534) != 0 || ::setuid (65534) != 0)
            ::_exit (3);

        auto fd = ::socket (AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strcpy (address.sun_path, channel->getSocketPath().c_str());

        if (::connect (fd, (sockaddr*) &address, sizeof (address)) == 0)
        {
            (void) ! ::write (fd, "-disconnected:", 14);
            ::_exit (1);
        }

        ::_exit (0);
    }

    int status = 0;
    ::waitpid (child, &status, 0);
    ASSERT_TRUE (WIFEXITED (status));
    EXPECT_EQ (WEXITSTATUS (status), 0) << "another user could connect";
    EXPECT_TRUE (received.waitFor (1, 500).empty());
}

TEST_F (InstanceChannelTest, ARuntimeFolderThatIsNotPrivateIsRefused)
{
    ScratchFolder temporary;
    unsetenv ("XDG_RUNTIME_DIR");
    setenv ("TMPDIR", temporary.path().c_str(), 1);

    // A private folder is made when missing.
    auto folder = InstanceChannel::findChannelFolder();
    EXPECT_EQ (folder, temporary / ("vorniq-" + std::to_string (geteuid())));
    struct stat info {};
    ASSERT_EQ (::lstat (folder.c_str(), &info), 0);
    EXPECT_EQ (info.st_mode & 0777, 0700u);

    // Someone could have made it open to all, or a link to elsewhere.
    ::chmod (folder.c_str(), 0777);
    EXPECT_EQ (InstanceChannel::findChannelFolder(), "");
    std::unique_ptr<InstanceChannel> channel;
    EXPECT_EQ (InstanceChannel::claim ("", channel), InstanceChannel::Outcome::unavailable);

    ::rmdir (folder.c_str());
    ASSERT_EQ (::symlink (runtime.path().c_str(), folder.c_str()), 0);
    EXPECT_EQ (InstanceChannel::findChannelFolder(), "");

    unsetenv ("TMPDIR");
}
