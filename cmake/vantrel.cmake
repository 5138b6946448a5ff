# Shared build helpers. Every subsystem, tool, test and benchmark goes through
# these so that warnings, include paths and linking stay the same everywhere.

set(VANTREL_SOURCE_ROOT ${CMAKE_SOURCE_DIR})

# The version from project(), for --version and the packages: generated
# headers live here, included as "vantrel_version.h".
set(VANTREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/vantrel_version.h.in
  ${VANTREL_GENERATED_DIR}/vantrel_version.h @ONLY)

function(vantrel_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(VANTREL_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# Each folder of src/ is one layer's library, and a library sees only the
# headers of what it links: its include root is a folder in the build tree
# that holds just a link named after it ("support" -> src/support), so
# "sim/avatar.h" does not even resolve in a file of a lower layer. The README's
# layer table says who may link whom; tests/layers checks the includes too.
set(VANTREL_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include_roots)

# vantrel_headers(<name> <path-in-src>): the INTERFACE target
# vantrel_<name>_headers whose include root shows src/<path> as <path>.
function(vantrel_headers name path)
  set(root ${VANTREL_INCLUDE_ROOTS}/${name})
  get_filename_component(parent ${root}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${path})
    file(CREATE_LINK ${VANTREL_SOURCE_ROOT}/src/${path} ${root}/${path} SYMBOLIC)
  endif()
  add_library(vantrel_${name}_headers INTERFACE)
  target_include_directories(vantrel_${name}_headers INTERFACE ${root})
endfunction()

# vantrel_library(<name> [OBJECT] [EXCLUDE file...] [PUBLIC lib...] [PRIVATE lib...]
#                 [SYSTEM lib...])
# Builds every .cpp directly in the calling folder into vantrel_<name> (a
# static library, or an OBJECT library for a backend: its platform functions
# are called from lower layers and must always be in the link). Includes are
# written from src/ ("support/sha1.h"). PUBLIC names what the library's own
# headers need, PRIVATE what only its sources use (names without "::" get the
# vantrel_ prefix); SYSTEM names the system libraries it needs.
function(vantrel_library name)
  cmake_parse_arguments(ARG "OBJECT" "" "EXCLUDE;PUBLIC;PRIVATE;SYSTEM" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  file(RELATIVE_PATH folder ${VANTREL_SOURCE_ROOT}/src ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT TARGET vantrel_${name}_headers)
    vantrel_headers(${name} ${folder})
  endif()
  if(ARG_OBJECT)
    add_library(vantrel_${name} OBJECT ${sources})
  else()
    add_library(vantrel_${name} STATIC ${sources})
  endif()
  target_link_libraries(vantrel_${name} PUBLIC vantrel_${name}_headers)
  vantrel_warnings(vantrel_${name})
  foreach(scope PUBLIC PRIVATE)
    foreach(dep ${ARG_${scope}})
      if(dep MATCHES "::")
        target_link_libraries(vantrel_${name} ${scope} ${dep})
      else()
        target_link_libraries(vantrel_${name} ${scope} vantrel_${dep})
      endif()
    endforeach()
  endforeach()
  if(ARG_SYSTEM)
    target_link_libraries(vantrel_${name} PUBLIC ${ARG_SYSTEM})
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
