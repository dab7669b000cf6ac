# One library target per layer folder: every .cpp below the folder belongs to it.
function(orvane_library target folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR} ${ORVANE_GENERATED_DIR})
  target_link_libraries(${target} PUBLIC ${ARGN})
endfunction()

# One test program per layer folder under tests/: every .cpp below it, with the shared test main.
function(orvane_tests target folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE orvane_test_support ${ARGN} GTest::gtest)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
