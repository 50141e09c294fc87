// Runs a program of the project as a child process, the way a person or the
// desktop would start it, and watches what it writes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

/** A started child process. Its standard output and error go to files in a scratch
    folder; standard input is /dev/null. The destructor kills a child still running. */
class ChildProgram
{
public:
    struct Options
    {
        std::vector<std::string> arguments;          ///< without the program itself
        std::map<std::string, std::string> environment; ///< set on top of this process's
        std::vector<std::string> unsetEnvironment;
        std::string workingDirectory;
    };

    ChildProgram (const std::string& program, const Options& options);
    ~ChildProgram();

    /** True while the process has not ended. */
    bool isRunning();

    /** The exit status once the process ended by itself within timeoutMs (a death by
        a signal gives 128 + the signal), or nothing. */
    std::optional<int> waitForExit (int timeoutMs);

    /** Waits until standard error holds text; false when the time ran out or the
        process ended without writing it. */
    bool waitForStandardError (const std::string& text, int timeoutMs);

    /** Sends a signal. */
    void sendSignal (int signalNumber);

    std::string standardOutput() const;
    std::string standardError() const;
    pid_t getPid() const { return pid; }

private:
    pid_t pid = -1;
    std::optional<int> exitStatus;
    std::string folder, outPath, errPath;
};

/** A folder of its own under the temporary folder, removed with everything in it. */
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();

    const std::string& path() const { return folderPath; }
    std::string operator/ (const std::string& child) const { return folderPath + "/" + child; }

private:
    std::string folderPath;
};

/** Reads a whole file; empty when it cannot be read. */
std::string readTextFile (const std::string& path);

/** Writes a whole file, creating its folders. */
void writeTextFile (const std::string& path, const std::string& text);
