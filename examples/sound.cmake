# The sound example: a sound file made by sox at build time, and a small
# player that shows a scene and changes its speed from the keyboard.
find_program(QV_SOX sox)
set(QV_SOUND_EXAMPLE_DIR ${CMAKE_BINARY_DIR}/examples)
if(QV_SOX)
  add_custom_command(
    OUTPUT ${QV_SOUND_EXAMPLE_DIR}/sound_example.wav
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_SOUND_EXAMPLE_DIR}
    # Twelve seconds of two rising tones under a slow tremolo, whose
    # envelope is what scrolls past in the waveform; no dither, so that
    # every build makes the same file.
    COMMAND ${QV_SOX} -D -n -r 44100 -c 2 -b 16 ${QV_SOUND_EXAMPLE_DIR}/sound_example.wav
            synth 12 sine 220:440 sine 330:660 tremolo 0.5 90 gain -3
    COMMENT "Making the example sound file"
    VERBATIM)
  add_custom_target(sound_example_assets ALL DEPENDS ${QV_SOUND_EXAMPLE_DIR}/sound_example.wav)
else()
  message(WARNING "sox not found: the sound example has no sound file")
endif()

add_executable(qvScenePlayer ${CMAKE_CURRENT_LIST_DIR}/qvScenePlayer.cpp)
target_link_libraries(qvScenePlayer PRIVATE qvSuite qv::inventor)
target_compile_options(qvScenePlayer PRIVATE ${QV_WARNINGS})
