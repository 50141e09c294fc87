# The library: loading and saving large libraries, and loading 4K thumbnails.
add_executable(library-bench LibraryBench.cpp)
target_link_libraries(library-bench PRIVATE vorniq_core vorniq_warnings)
