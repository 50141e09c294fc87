// The main of the tests that run on umockdev testbeds: they only see the simulated
// devices when libumockdev-preload is loaded, so a run without it starts itself again
// under umockdev-wrapper (ctest already runs them that way).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace
{
    bool isPreloadActive()
    {
        return dlopen ("libumockdev-preload.so.0", RTLD_NOW | RTLD_NOLOAD) != nullptr;
    }
}

int main (int argc, char** argv)
{
    if (! isPreloadActive())
    {
        if (std::getenv ("VORNIQ_UMOCKDEV_REEXEC") != nullptr)
        {
            std::fprintf (stderr, "%s: libumockdev-preload did not load; is umockdev installed?\n", argv[0]);
            return 1;
        }

        setenv ("VORNIQ_UMOCKDEV_REEXEC", "1", 1);

        char self[4096] = {};

        if (readlink ("/proc/self/exe", self, sizeof (self) - 1) <= 0)
            return 1;

        std::vector<char*> arguments { const_cast<char*> ("umockdev-wrapper"), self };
        arguments.insert (arguments.end(), argv + 1, argv + argc);
        arguments.push_back (nullptr);
        execvp (arguments[0], arguments.data());

        std::perror ("umockdev-wrapper");
        return 1;
    }

    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
