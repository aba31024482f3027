# The Windows programs and their installer (included by app/CMakeLists.txt in
# a Windows build).
#
# Two programs from the same code, because Windows decides at start whether a
# program gets a console, before it can look at its arguments:
#   korvane.exe  a window program: double-clicked (or from the Start menu) it
#                shows the window and no console;
#   korvane.com  a console program: `korvane list` typed in cmd or PowerShell
#                finds it first (.COM comes before .EXE in PATHEXT), prints to
#                that console, and the shell waits for it and gets its exit
#                status, which it would not for a window program.
# Both carry the icon, the version and the manifest (DPI awareness, UTF-8).
enable_language(RC)
set(kv_win_src ${PROJECT_SOURCE_DIR}/packaging/windows)
set(kv_win_gen ${CMAKE_BINARY_DIR}/windows)
file(MAKE_DIRECTORY ${kv_win_gen})
set(KV_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(KV_VERSION4 "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(kv_icon_pictures ${PROJECT_SOURCE_DIR}/img/korvane-48.png ${PROJECT_SOURCE_DIR}/img/korvane-128.png
                     ${PROJECT_SOURCE_DIR}/img/korvane-256.png)
add_custom_command(OUTPUT ${kv_win_gen}/korvane.ico
                   COMMAND Python3::Interpreter ${kv_win_src}/make_ico.py ${kv_win_gen}/korvane.ico ${kv_icon_pictures}
                   DEPENDS ${kv_win_src}/make_ico.py ${kv_icon_pictures} VERBATIM)
add_custom_target(korvane-icon DEPENDS ${kv_win_gen}/korvane.ico)
set(KV_ICO ${kv_win_gen}/korvane.ico)
set(KV_MANIFEST ${kv_win_gen}/korvane.manifest)
configure_file(${kv_win_src}/korvane.manifest ${KV_MANIFEST} @ONLY)

add_executable(korvane-console ${PROJECT_SOURCE_DIR}/app/main.cpp)
target_link_libraries(korvane-console PRIVATE kv_app)
set_target_properties(korvane-console PROPERTIES OUTPUT_NAME korvane SUFFIX .com)
set_target_properties(korvane PROPERTIES WIN32_EXECUTABLE ON)
foreach(program korvane korvane-console)
  get_target_property(name ${program} OUTPUT_NAME)
  get_target_property(suffix ${program} SUFFIX)
  if(NOT name)
    set(name ${program})
  endif()
  if(NOT suffix)
    set(suffix .exe)
  endif()
  set(KV_FILENAME ${name}${suffix})
  configure_file(${kv_win_src}/korvane.rc.in ${kv_win_gen}/${program}.rc @ONLY)
  set_source_files_properties(${kv_win_gen}/${program}.rc PROPERTIES
                              OBJECT_DEPENDS "${kv_win_gen}/korvane.ico;${KV_MANIFEST}")
  target_sources(${program} PRIVATE ${kv_win_gen}/${program}.rc)
  add_dependencies(${program} korvane-icon)
endforeach()

# `cmake --build build-win --target installer`: the programs stripped, with
# img\ and bin\, packed by NSIS into build-win/korvane-<version>-setup.exe.
find_program(KORVANE_MAKENSIS makensis)
if(KORVANE_MAKENSIS)
  set(KV_STAGE ${kv_win_gen}/stage)
  set(KV_SETUP ${CMAKE_BINARY_DIR}/korvane-${PROJECT_VERSION}-setup.exe)
  configure_file(${kv_win_src}/installer.nsi.in ${kv_win_gen}/installer.nsi @ONLY)
  add_custom_command(OUTPUT ${KV_SETUP}
                     COMMAND ${CMAKE_COMMAND} -E rm -rf ${KV_STAGE}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${KV_STAGE}
                     COMMAND ${CMAKE_STRIP} -o ${KV_STAGE}/korvane.exe $<TARGET_FILE:korvane>
                     COMMAND ${CMAKE_STRIP} -o ${KV_STAGE}/korvane.com $<TARGET_FILE:korvane-console>
                     COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/img ${KV_STAGE}/img
                     COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/bin ${KV_STAGE}/bin
                     COMMAND ${KORVANE_MAKENSIS} -V2 -NOCD ${kv_win_gen}/installer.nsi
                     DEPENDS korvane korvane-console ${kv_win_gen}/installer.nsi VERBATIM)
  add_custom_target(installer DEPENDS ${KV_SETUP})
else()
  message(STATUS "makensis not found: no installer (scripts/build-windows.sh installs nsis)")
endif()
