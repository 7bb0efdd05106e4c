# System libraries of the stack, wrapped as imported targets.
find_package(PkgConfig REQUIRED)
pkg_check_modules(QV_MEDIA REQUIRED IMPORTED_TARGET
  audiofile soxr alsa libavformat libavcodec libswscale libavutil libturbojpeg)
pkg_check_modules(QV_X REQUIRED IMPORTED_TARGET gl glu x11 xt)

find_library(INVENTOR_LIB Inventor REQUIRED)
find_library(INVENTOR_XT_LIB InventorXt REQUIRED)
find_library(MOTIF_LIB Xm REQUIRED)
find_library(GLW_LIB GLw REQUIRED)
find_path(INVENTOR_INCLUDE Inventor/SoDB.h REQUIRED)

add_library(qv::inventor INTERFACE IMPORTED)
target_include_directories(qv::inventor SYSTEM INTERFACE ${INVENTOR_INCLUDE})
# Motif must be loaded before Xt (its vendor shell replaces Xt's), so it
# is linked first and kept even where a program calls none of it itself.
target_link_libraries(qv::inventor INTERFACE
  "-Wl,--push-state,--no-as-needed,${MOTIF_LIB},--pop-state"
  ${INVENTOR_XT_LIB} ${INVENTOR_LIB} ${GLW_LIB} ${MOTIF_LIB} PkgConfig::QV_X dl pthread)

add_library(qv::media INTERFACE IMPORTED)
target_link_libraries(qv::media INTERFACE PkgConfig::QV_MEDIA)
