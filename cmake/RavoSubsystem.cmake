# ravo_subsystem(name DIR folder DEPS targets...)
# A static library of the .cpp files directly in the folder (an interface
# library while the folder holds none yet): a new file joins its folder's
# library, never another's.
function(ravo_subsystem name)
  cmake_parse_arguments(A "" "DIR" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${A_DIR}/*.cpp)
  if(srcs)
    add_library(ravo_${name} STATIC ${srcs})
    set(kind PUBLIC)
  else()
    add_library(ravo_${name} INTERFACE)
    set(kind INTERFACE)
  endif()
  # Installed, the headers are under include/zwravoprop (cmake/RavoInstall.cmake).
  target_include_directories(ravo_${name} ${kind} $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/src>
                             $<BUILD_INTERFACE:${CMAKE_BINARY_DIR}/generated> $<INSTALL_INTERFACE:include/zwravoprop>)
  target_link_libraries(ravo_${name} ${kind} ${A_DEPS})
  target_compile_definitions(ravo_${name} ${kind} $<BUILD_INTERFACE:RAVO_DATA_DIR="${CMAKE_SOURCE_DIR}/data">)
  set(RAVO_LINK_KIND ${kind} PARENT_SCOPE)
endfunction()
# ravo_tests(name DIR folder LIBS targets...)
# One GoogleTest executable per test folder; each test case is its own CTest test.
function(ravo_tests name)
  cmake_parse_arguments(A "" "DIR" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${A_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  target_link_libraries(test_${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(test_${name} PRIVATE RAVO_TEST_DIR="${CMAKE_SOURCE_DIR}/tests")
  if(name STREQUAL "tools")
    # The command-line tests run the built tool itself.
    target_compile_definitions(test_${name} PRIVATE RAVO_TOOL_PATH="$<TARGET_FILE:ravoprop>")
    # The installation test installs this build and builds a program against it.
    set(flags "")
    if(RAVO_SANITIZE)
      set(flags "-fsanitize=address,undefined")
    endif()
    target_compile_definitions(test_${name} PRIVATE RAVO_BUILD_DIR="${CMAKE_BINARY_DIR}"
                               RAVO_CMAKE_COMMAND="${CMAKE_COMMAND}" RAVO_SANITIZE_FLAGS="${flags}")
    add_dependencies(test_${name} ravoprop)
  endif()
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
