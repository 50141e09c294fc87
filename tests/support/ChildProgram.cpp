#include "ChildProgram.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace
{
    using Clock = std::chrono::steady_clock;

    std::string makeTempFolder()
    {
        auto base = std::filesystem::temp_directory_path() / "vorniq-test.XXXXXX";
        auto pattern = base.string();
        if (::mkdtemp (pattern.data()) == nullptr)
            throw std::runtime_error ("cannot make a scratch folder");
        return pattern;
    }
}

std::string readTextFile (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeTextFile (const std::string& path, const std::string& text)
{
    std::filesystem::create_directories (std::filesystem::path (path).parent_path());
    std::ofstream out (path, std::ios::binary | std::ios::trunc);
    out << text;
}

ScratchFolder::ScratchFolder() : folderPath (makeTempFolder()) {}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all (folderPath, ignored);
}

ChildProgram::ChildProgram (const std::string& program, const Options& options)
{
    folder = makeTempFolder();
    outPath = folder + "/stdout";
    errPath = folder + "/stderr";

    std::map<std::string, std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
    {
        std::string text (*entry);
        auto equals = text.find ('=');
        if (equals != std::string::npos)
            environment[text.substr (0, equals)] = text.substr (equals + 1);
    }
    for (auto& name : options.unsetEnvironment)
        environment.erase (name);
    for (auto& [name, value] : options.environment)
        environment[name] = value;

    std::vector<std::string> envText, argText { program };
    for (auto& [name, value] : environment)
        envText.push_back (name + "=" + value);
    argText.insert (argText.end(), options.arguments.begin(), options.arguments.end());

    std::vector<char*> envp, argv;
    for (auto& e : envText) envp.push_back (e.data());
    for (auto& a : argText) argv.push_back (a.data());
    envp.push_back (nullptr);
    argv.push_back (nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen (&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen (&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (! options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np (&actions, options.workingDirectory.c_str());

    // The child starts with no signals blocked, whatever the test runner does.
    posix_spawnattr_t attributes;
    posix_spawnattr_init (&attributes);
    sigset_t none;
    sigemptyset (&none);
    posix_spawnattr_setsigmask (&attributes, &none);
    posix_spawnattr_setflags (&attributes, POSIX_SPAWN_SETSIGMASK);

    auto result = posix_spawn (&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy (&actions);
    posix_spawnattr_destroy (&attributes);

    if (result != 0)
        throw std::runtime_error ("cannot start " + program + ": " + std::strerror (result));
}

ChildProgram::~ChildProgram()
{
    if (isRunning())
    {
        ::kill (pid, SIGKILL);
        waitForExit (5000);
    }

    std::error_code ignored;
    std::filesystem::remove_all (folder, ignored);
}

bool ChildProgram::isRunning()
{
    if (exitStatus.has_value())
        return false;

    int status = 0;
    auto reaped = ::waitpid (pid, &status, WNOHANG);

    if (reaped == pid)
    {
        exitStatus = WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
        return false;
    }

    return reaped == 0;
}

std::optional<int> ChildProgram::waitForExit (int timeoutMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);

    while (isRunning())
    {
        if (Clock::now() > deadline)
            return {};

        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }

    return exitStatus;
}

bool ChildProgram::waitForStandardError (const std::string& text, int timeoutMs)
{
    auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);

    for (;;)
    {
        if (standardError().find (text) != std::string::npos)
            return true;

        if (! isRunning())
            return standardError().find (text) != std::string::npos;

        if (Clock::now() > deadline)
            return false;

        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }
}

void ChildProgram::sendSignal (int signalNumber)
{
    if (isRunning())
        ::kill (pid, signalNumber);
}

std::string ChildProgram::standardOutput() const { return readTextFile (outPath); }
std::string ChildProgram::standardError() const  { return readTextFile (errPath); }
