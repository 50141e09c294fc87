// Makes the processor treat denormal numbers as zero while it lives: decaying
// reverb and filter tails otherwise slow the arithmetic down by orders of magnitude.
#pragma once

#if defined (__SSE2__)
 #include <immintrin.h>
#endif

namespace effects
{
    class ScopedNoDenormals
    {
    public:
        ScopedNoDenormals() noexcept
        {
           #if defined (__SSE2__)
            previous = _mm_getcsr();
            _mm_setcsr (previous | 0x8040u);    // flush to zero, denormals are zero
           #endif
        }

        ~ScopedNoDenormals() noexcept
        {
           #if defined (__SSE2__)
            _mm_setcsr (previous);
           #endif
        }

        ScopedNoDenormals (const ScopedNoDenormals&) = delete;
        ScopedNoDenormals& operator= (const ScopedNoDenormals&) = delete;

    private:
        unsigned int previous = 0;
    };
}
