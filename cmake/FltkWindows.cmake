# The toolkit for a Windows build: FLTK's static libraries and headers as
# scripts/build-windows.sh builds them from Debian's FLTK source into a cache
# folder, named by KORVANE_FLTK_WIN. CMake's FindFLTK is not used: it finds
# neither the include folder nor the bundled jpeg library of such a build.
# Sets FLTK_INCLUDE_DIR and FLTK_LIBRARIES as FindFLTK would; the bundled png
# and zlib come with them, so PNG_LIBRARIES stays empty.
set(KORVANE_FLTK_WIN "" CACHE PATH "FLTK built for Windows (scripts/build-windows.sh makes it)")
if(NOT EXISTS "${KORVANE_FLTK_WIN}/include/FL/Fl.H")
  message(FATAL_ERROR "No FLTK for Windows in '${KORVANE_FLTK_WIN}': scripts/build-windows.sh builds it "
                      "and passes -DKORVANE_FLTK_WIN=<folder>")
endif()
set(FLTK_INCLUDE_DIR ${KORVANE_FLTK_WIN}/include)
set(FLTK_LIBRARIES)
# Images first: they need the bundled png, jpeg and zlib, and the base library.
foreach(lib fltk_images fltk_png fltk_jpeg fltk_z fltk)
  if(NOT EXISTS ${KORVANE_FLTK_WIN}/lib/lib${lib}.a)
    message(FATAL_ERROR "${KORVANE_FLTK_WIN}/lib/lib${lib}.a is missing: build FLTK again (scripts/build-windows.sh)")
  endif()
  list(APPEND FLTK_LIBRARIES ${KORVANE_FLTK_WIN}/lib/lib${lib}.a)
endforeach()
# The Windows libraries FLTK's own build links with.
list(APPEND FLTK_LIBRARIES comctl32 comdlg32 gdi32 ole32 oleaut32 uuid shell32 winspool ws2_32 imm32)
set(PNG_LIBRARIES)
set(FLTK_FOUND TRUE)
