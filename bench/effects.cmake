# The effects: offline render against ffmpeg's decode, and process() against the
# block's duration.
add_executable(effects-bench EffectsBench.cpp)
target_link_libraries(effects-bench PRIVATE vorniq_core vorniq_warnings)
add_dependencies(effects-bench vorniq_effects_vst3)
