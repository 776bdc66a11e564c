# vtp_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One test program per subsystem: one process (one Wine start) runs all its tests.
function(vtp_add_test name)
  if(NOT VTP_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
  target_compile_definitions(${name} PRIVATE VTP_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             VTP_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
endfunction()

# Every portable library registers here so that vtploc, benchmarks and fuzz targets can link
# "the core" without knowing which subsystems exist yet.
add_library(vtp_core INTERFACE)
function(vtp_core_add lib)
  target_link_libraries(vtp_core INTERFACE ${lib})
endfunction()

# Header-only libraries from Debian (CLI11, nlohmann-json) for both builds: the cross compiler
# must not see the rest of /usr/include, so only these folders are linked into the build tree.
set(_hdr ${CMAKE_BINARY_DIR}/thirdparty-include)
file(MAKE_DIRECTORY ${_hdr})
foreach(d CLI nlohmann)
  if(EXISTS /usr/include/${d} AND NOT EXISTS ${_hdr}/${d})
    file(CREATE_LINK /usr/include/${d} ${_hdr}/${d} SYMBOLIC)
  endif()
endforeach()
add_library(vtp_thirdparty_headers INTERFACE)
target_include_directories(vtp_thirdparty_headers SYSTEM INTERFACE ${_hdr})
