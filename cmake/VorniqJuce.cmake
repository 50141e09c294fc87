# JUCE is compiled once, into the static library vorniq_juce, which every
# program and test of the project links. The module targets are linked
# privately so that their sources compile here only; their definitions and
# include folders are passed on to whoever links vorniq_juce.

set(VORNIQ_JUCE_DEFINITIONS
    JUCE_STANDALONE_APPLICATION=1
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=1
    JUCE_LOAD_CURL_SYMBOLS_LAZILY=0
    JUCE_ALSA=1
    JUCE_JACK=1
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_PLUGINHOST_VST3=1
    JUCE_PLUGINHOST_VST=0
    JUCE_PLUGINHOST_LADSPA=0
    JUCE_PLUGINHOST_LV2=0
    JUCE_USE_FLAC=1
    JUCE_USE_OGGVORBIS=1
    JUCE_USE_MP3AUDIOFORMAT=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_CHECK_MEMORY_LEAKS=0)

pkg_check_modules(JUCE_CODECS REQUIRED IMPORTED_TARGET
    flac vorbis vorbisenc vorbisfile ogg libpng libjpeg zlib libcurl gl)

add_library(vorniq_juce STATIC)
target_link_libraries(vorniq_juce
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_data_structures
        juce::juce_graphics
        juce::juce_gui_basics
        juce::juce_gui_extra
        juce::juce_audio_basics
        juce::juce_audio_devices
        juce::juce_audio_formats
        juce::juce_audio_processors
        juce::juce_audio_utils
        juce::juce_opengl
        juce::juce_dsp
    PUBLIC
        PkgConfig::JUCE_CODECS
        Threads::Threads
        ${CMAKE_DL_LIBS})
target_compile_definitions(vorniq_juce
    PUBLIC ${VORNIQ_JUCE_DEFINITIONS}
    INTERFACE $<TARGET_PROPERTY:vorniq_juce,COMPILE_DEFINITIONS>)
target_include_directories(vorniq_juce SYSTEM
    INTERFACE $<TARGET_PROPERTY:vorniq_juce,INCLUDE_DIRECTORIES>)
# JUCE's own sources are third-party code: their warnings are not ours to fix.
target_compile_options(vorniq_juce PRIVATE -w)
set_target_properties(vorniq_juce PROPERTIES
    JUCE_IS_PLUGIN FALSE
    VISIBILITY_INLINES_HIDDEN TRUE)
