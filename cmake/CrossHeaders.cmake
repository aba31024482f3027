# Header-only libraries for a cross build. Debian's CLI11 and nlohmann-json
# packages put their headers in /usr/include, whose C library headers must
# never reach a Windows compile; only their own folders are exposed, through a
# folder of links in the build tree, under the targets their packages define.
set(kv_cross_include ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${kv_cross_include})
foreach(dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: scripts/deps.sh installs it")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${kv_cross_include}/${dir} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${kv_cross_include})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${kv_cross_include})
