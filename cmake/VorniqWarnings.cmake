# Warning flags for the project's own code. Third-party headers (JUCE, FFmpeg)
# are included as system headers so their warnings do not drown ours.
add_library(vorniq_warnings INTERFACE)
target_compile_options(vorniq_warnings INTERFACE
    -Wall -Wextra -Wshadow=local -Wnon-virtual-dtor -Woverloaded-virtual
    -Wno-missing-field-initializers)
