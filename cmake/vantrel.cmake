# Shared build helpers. Every subsystem, tool, test and benchmark goes through
# these so that warnings, include paths and linking stay the same everywhere.

set(VANTREL_SOURCE_ROOT ${CMAKE_SOURCE_DIR})

function(vantrel_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(VANTREL_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# vantrel_library(<name> [DEPS lib...])
# Builds every .cpp directly in the calling folder into the static library
# vantrel_<name>. Includes are written from src/ ("support/sha1.h").
function(vantrel_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SYSTEM_LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(vantrel_${name} STATIC ${sources})
    target_include_directories(vantrel_${name} PUBLIC ${VANTREL_SOURCE_ROOT}/src)
    vantrel_warnings(vantrel_${name})
    set(visibility PUBLIC)
  else()
    add_library(vantrel_${name} INTERFACE)
    target_include_directories(vantrel_${name} INTERFACE ${VANTREL_SOURCE_ROOT}/src)
    set(visibility INTERFACE)
  endif()
  foreach(dep ${ARG_DEPS})
    target_link_libraries(vantrel_${name} ${visibility} vantrel_${dep})
  endforeach()
  if(ARG_SYSTEM_LIBS)
    target_link_libraries(vantrel_${name} ${visibility} ${ARG_SYSTEM_LIBS})
  endif()
endfunction()

# vantrel_test(<name> SOURCES ... [LIBS ...]): one GoogleTest executable
# registered with ctest, case by case.
function(vantrel_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${VANTREL_SOURCE_ROOT}/src ${VANTREL_SOURCE_ROOT}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  vantrel_warnings(${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

# Adds every child folder of the calling folder that has a CMakeLists.txt.
function(vantrel_add_child_folders)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
