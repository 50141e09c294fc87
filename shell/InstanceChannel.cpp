#include "shell/InstanceChannel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
    bool isPrivateFolder (const std::string& path, bool requireMode0700)
    {
        struct stat info {};

        if (lstat (path.c_str(), &info) != 0 || ! S_ISDIR (info.st_mode) || info.st_uid != geteuid())
            return false;

        return ! requireMode0700 || (info.st_mode & 0077) == 0;
    }

    struct FileDescriptor
    {
        explicit FileDescriptor (int fd) : value (fd) {}
        ~FileDescriptor() { if (value >= 0) ::close (value); }
        int release() { auto fd = value; value = -1; return fd; }

        int value;
    };

    bool fillAddress (const std::string& path, sockaddr_un& address)
    {
        std::memset (&address, 0, sizeof (address));
        address.sun_family = AF_UNIX;

        if (path.size() >= sizeof (address.sun_path))
            return false;

        std::memcpy (address.sun_path, path.c_str(), path.size() + 1);
        return true;
    }

    bool writeAll (int fd, const char* data, size_t size)
    {
        while (size > 0)
        {
            auto written = ::send (fd, data, size, MSG_NOSIGNAL);

            if (written < 0 && errno == EINTR)
                continue;

            if (written <= 0)
                return false;

            data += written;
            size -= (size_t) written;
        }

        return true;
    }

    void setTimeouts (int fd, int seconds)
    {
        timeval timeout { seconds, 0 };
        setsockopt (fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof (timeout));
        setsockopt (fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof (timeout));
    }

    // Returns true when a running copy accepted the command line.
    bool handOver (const std::string& path, const std::string& commandLine)
    {
        sockaddr_un address;

        if (! fillAddress (path, address))
            return false;

        FileDescriptor fd (::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));

        if (fd.value < 0)
            return false;

        if (::connect (fd.value, (sockaddr*) &address, sizeof (address)) != 0)
            return false;

        setTimeouts (fd.value, 5);
        auto text = commandLine.substr (0, InstanceChannel::maxCommandLineBytes);
        writeAll (fd.value, text.data(), text.size());
        ::shutdown (fd.value, SHUT_WR);

        // The running copy answers once it has the whole command line. Whatever it
        // says, a copy is running, so this one must not start a second window.
        char reply[8];
        while (::recv (fd.value, reply, sizeof (reply), 0) < 0 && errno == EINTR) {}
        return true;
    }
}

std::string InstanceChannel::findChannelFolder()
{
    if (auto* runtime = std::getenv ("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != 0)
        if (isPrivateFolder (runtime, false))
            return runtime;

    auto* tmp = std::getenv ("TMPDIR");
    std::string base = (tmp != nullptr && *tmp != 0) ? tmp : "/tmp";
    auto folder = base + "/vorniq-" + std::to_string (geteuid());

    if (::mkdir (folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};

    // Someone else's folder, a link, or one others can write to is not ours to use.
    return isPrivateFolder (folder, true) ? folder : std::string();
}

InstanceChannel::Outcome InstanceChannel::claim (const std::string& commandLine, std::unique_ptr<InstanceChannel>& channel)
{
    channel.reset();
    auto folder = findChannelFolder();

    if (folder.empty())
        return Outcome::unavailable;

    auto socketPath = folder + "/vorniq.socket";
    auto lockPath = folder + "/vorniq.socket.lock";

    // The lock file makes "is a copy running? if not, I am it" one step, so two
    // copies started together cannot both become the running copy.
    FileDescriptor lockFd (::open (lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));

    if (lockFd.value < 0)
        return Outcome::unavailable;

    while (::flock (lockFd.value, LOCK_EX) != 0)
        if (errno != EINTR)
            return Outcome::unavailable;

    if (handOver (socketPath, commandLine))
        return Outcome::handedOver;

    // Nobody answers: whatever is left at the path is a dead copy's socket.
    ::unlink (socketPath.c_str());

    sockaddr_un address;

    if (! fillAddress (socketPath, address))
        return Outcome::unavailable;

    FileDescriptor listenFd (::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));

    if (listenFd.value < 0)
        return Outcome::unavailable;

    auto oldMask = ::umask (0177);
    auto bound = ::bind (listenFd.value, (sockaddr*) &address, sizeof (address)) == 0;
    ::umask (oldMask);

    if (! bound || ::listen (listenFd.value, 16) != 0)
        return Outcome::unavailable;

    channel.reset (new InstanceChannel (listenFd.release(), socketPath));
    return Outcome::firstCopy;
}

InstanceChannel::InstanceChannel (int listeningSocket, std::string path)
    : listenFd (listeningSocket), socketPath (std::move (path))
{
    if (::pipe2 (wakePipe, O_CLOEXEC) != 0)
        wakePipe[0] = wakePipe[1] = -1;

    struct stat info {};

    if (::stat (socketPath.c_str(), &info) == 0)
    {
        socketDevice = info.st_dev;
        socketInode = info.st_ino;
    }
}

InstanceChannel::~InstanceChannel()
{
    if (wakePipe[1] >= 0)
        while (::write (wakePipe[1], "x", 1) < 0 && errno == EINTR) {}

    if (receiver.joinable())
        receiver.join();

    struct stat atPath {};

    if (::stat (socketPath.c_str(), &atPath) == 0 && atPath.st_ino == socketInode && atPath.st_dev == socketDevice)
        ::unlink (socketPath.c_str());

    ::close (listenFd);

    for (auto fd : wakePipe)
        if (fd >= 0)
            ::close (fd);
}

void InstanceChannel::startReceiving (std::function<void (const std::string&)> receiverCallback)
{
    onCommandLine = std::move (receiverCallback);
    receiver = std::thread ([this] { receiveLoop(); });
}

void InstanceChannel::receiveLoop()
{
    for (;;)
    {
        pollfd fds[2] { { listenFd, POLLIN, 0 }, { wakePipe[0], POLLIN, 0 } };

        if (::poll (fds, wakePipe[0] >= 0 ? 2 : 1, -1) < 0)
        {
            if (errno == EINTR)
                continue;

            return;
        }

        if ((fds[1].revents & POLLIN) != 0)
            return;

        if ((fds[0].revents & POLLIN) == 0)
            continue;

        FileDescriptor client (::accept4 (listenFd, nullptr, nullptr, SOCK_CLOEXEC));

        if (client.value < 0)
            continue;

        ucred peer {};
        socklen_t peerSize = sizeof (peer);

        if (::getsockopt (client.value, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) != 0 || peer.uid != geteuid())
            continue;

        setTimeouts (client.value, 2);
        std::string commandLine;
        char buffer[4096];

        for (;;)
        {
            auto got = ::recv (client.value, buffer, sizeof (buffer), 0);

            if (got < 0 && errno == EINTR)
                continue;

            if (got <= 0)
                break;

            commandLine.append (buffer, (size_t) got);

            if (commandLine.size() >= maxCommandLineBytes)
            {
                commandLine.resize (maxCommandLineBytes);
                break;
            }
        }

        writeAll (client.value, "ok\n", 3);

        if (onCommandLine)
            onCommandLine (commandLine);
    }
}
