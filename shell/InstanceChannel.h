// Single instance: the running copy listens on a per-user Unix socket; a second copy
// hands its command line over there and exits.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

/**
    The per-user channel between the running copy of the program and later starts.

    claim() decides, under a lock file, whether this process is the first copy (it
    then owns the socket) or whether a running copy took the command line over. A
    socket left behind by a crashed copy refuses connections and is replaced.

    Threads: claim() and the destructor on the main thread; the receiving thread
    started by startReceiving() accepts connections, checks that the peer is the same
    user, and passes each command line to the callback on that thread.
*/
class InstanceChannel
{
public:
    enum class Outcome
    {
        firstCopy,   ///< this process owns the socket and should run
        handedOver,  ///< a running copy took the command line; this process should end
        unavailable  ///< no private folder for the socket: run without single-instance
    };

    /** Where the socket and its lock file live: $XDG_RUNTIME_DIR when it is a folder
        of ours, else a private 0700 folder in the temporary folder (created when
        missing, refused when it is not ours). Empty when neither can be had. */
    static std::string findChannelFolder();

    /** Hands commandLine to a running copy, or becomes the running copy. */
    static Outcome claim (const std::string& commandLine, std::unique_ptr<InstanceChannel>& channel);

    ~InstanceChannel();

    /** Starts passing command lines of later starts to receiver, on the channel's
        own thread. Call once. */
    void startReceiving (std::function<void (const std::string&)> receiver);

    /** The socket's path. */
    const std::string& getSocketPath() const { return socketPath; }

    /** The most a command line may hold; a longer one is cut here. */
    static constexpr size_t maxCommandLineBytes = 64 * 1024;

private:
    InstanceChannel (int listeningSocket, std::string path);
    void receiveLoop();

    int listenFd = -1;
    int wakePipe[2] { -1, -1 };
    std::string socketPath;
    dev_t socketDevice = 0;  // identify the socket file we bound, so that we never
    ino_t socketInode = 0;   // remove one that a later copy put in its place
    std::function<void (const std::string&)> onCommandLine;
    std::thread receiver;

    InstanceChannel (const InstanceChannel&) = delete;
    InstanceChannel& operator= (const InstanceChannel&) = delete;
};
