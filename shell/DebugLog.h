// The program's one diagnostic channel. It prints to standard error in development
// builds and compiles to nothing in release builds.
#pragma once

#if VORNIQ_DEBUG_LOG
/** printf-style diagnostic line (a line break is added). Any thread. */
void debugLog (const char* format, ...) __attribute__ ((format (printf, 1, 2)));
#else
inline void debugLog (const char*, ...) {}
#endif
