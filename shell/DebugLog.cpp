#include "shell/DebugLog.h"

#if VORNIQ_DEBUG_LOG
#include <cstdarg>
#include <cstdio>
#include <mutex>

void debugLog (const char* format, ...)
{
    static std::mutex lock;
    std::lock_guard<std::mutex> guard (lock);

    std::fputs ("vorniq: ", stderr);
    va_list args;
    va_start (args, format);
    std::vfprintf (stderr, format, args);
    va_end (args);
    std::fputc ('\n', stderr);
    std::fflush (stderr);
}
#endif
