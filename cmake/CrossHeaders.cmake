# A header-only library for a cross build. Debian's nlohmann-json package
# puts its headers in /usr/include, whose C library headers must
# never reach a Windows compile; only their own folders are exposed, through a
# folder of links in the build tree, under the targets their packages define.
set(kv_cross_include ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${kv_cross_include})
foreach(dir nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: scripts/deps.sh installs it")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${kv_cross_include}/${dir} SYMBOLIC)
endforeach()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${kv_cross_include})
