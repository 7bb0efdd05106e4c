# The demo: a sound file and a scene with its waveform, spectrogram and
# note onsets, made at build time into build/examples/demo.
add_executable(qvDemoAssets ${CMAKE_CURRENT_LIST_DIR}/demo_assets.cpp)
target_link_libraries(qvDemoAssets PRIVATE qvSuite)
target_compile_options(qvDemoAssets PRIVATE ${QV_WARNINGS})
set(QV_DEMO_DIR ${CMAKE_BINARY_DIR}/examples/demo)
add_custom_command(
  OUTPUT ${QV_DEMO_DIR}/demo.iv ${QV_DEMO_DIR}/demo.wav
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_DEMO_DIR}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:qvDemoAssets> ${QV_DEMO_DIR}
  DEPENDS qvDemoAssets
  COMMENT "Making the demo scene and its sound")
add_custom_target(qvDemo ALL DEPENDS ${QV_DEMO_DIR}/demo.iv ${QV_DEMO_DIR}/demo.wav)
