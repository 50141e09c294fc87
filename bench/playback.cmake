add_executable(playback-bench PlaybackBench.cpp)
target_link_libraries(playback-bench PRIVATE vorniq_core vorniq_warnings)
