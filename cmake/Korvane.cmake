# kv_module(<name> [LIBS ...] [UI_LIBS ...])
#
# Every folder is one library target, kv_<name>, built from the folder's *.cpp
# files; it never sees the toolkit. When the folder has a ui/ subfolder, its
# *.cpp files become a second target, kv_<name>_ui, that links FLTK. Folders
# that are all toolkit code (widgets, editor, app, ...) pass GUI.
function(kv_module name)
  cmake_parse_arguments(KV "GUI" "" "LIBS;UI_LIBS" ${ARGN})
  file(GLOB core_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER core_sources EXCLUDE REGEX "/main\\.cpp$")
  set(deps ${KV_LIBS})
  if(KV_GUI)
    list(APPEND deps kv_fltk)
  endif()
  if(core_sources)
    add_library(kv_${name} STATIC ${core_sources})
    target_link_libraries(kv_${name} PUBLIC ${deps})
  else()
    add_library(kv_${name} INTERFACE)
    target_link_libraries(kv_${name} INTERFACE ${deps})
  endif()
  get_target_property(kind kv_${name} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(kv_${name} INTERFACE ${PROJECT_SOURCE_DIR})
  else()
    target_include_directories(kv_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  endif()
  if(KORVANE_GUI AND IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/ui)
    file(GLOB ui_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.cpp)
    if(ui_sources)
      add_library(kv_${name}_ui STATIC ${ui_sources})
      target_link_libraries(kv_${name}_ui PUBLIC kv_${name} kv_fltk ${KV_UI_LIBS})
    endif()
  endif()
endfunction()

if(KORVANE_GUI AND NOT TARGET kv_fltk)
  add_library(kv_fltk INTERFACE)
  target_include_directories(kv_fltk SYSTEM INTERFACE ${FLTK_INCLUDE_DIR})
  target_link_libraries(kv_fltk INTERFACE ${FLTK_LIBRARIES} ${PNG_LIBRARIES})
  # Where the program looks for img/ and bin/ when they are not in the
  # working directory: the installed data folder, then this source tree.
  target_compile_definitions(kv_fltk INTERFACE
    KORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KORVANE_DATA_DIR="${CMAKE_INSTALL_PREFIX}/share/korvane")
endif()
