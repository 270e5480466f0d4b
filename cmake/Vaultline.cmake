# Compile flags and the helpers every folder uses to declare its targets.

add_library(vaultline_flags INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(vaultline_flags INTERFACE -Wall -Wextra -Wpedantic)
  if(VAULTLINE_WERROR)
    target_compile_options(vaultline_flags INTERFACE -Werror)
  endif()
  if(VAULTLINE_SANITIZE)
    target_compile_options(vaultline_flags INTERFACE
      -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(vaultline_flags INTERFACE -fsanitize=address,undefined)
  endif()
  if(VAULTLINE_FUZZ)
    # Coverage for libFuzzer in every library; the fuzz targets add the
    # fuzzer's main with -fsanitize=fuzzer. Undefined behaviour stops the run,
    # so it counts as a finding.
    target_compile_options(vaultline_flags INTERFACE
      -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined)
    target_link_options(vaultline_flags INTERFACE -fsanitize=address,undefined)
  endif()
endif()

# Sources of a folder: every *.cc except tests and the backends of other platforms.
# Backends are named name_posix.cc / name_win32.cc.
function(vaultline_sources out_var dir)
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cc ${dir}/*.cpp)
  set(result)
  foreach(f IN LISTS all)
    get_filename_component(n ${f} NAME_WE)
    if(n MATCHES "_test$")
      continue()
    endif()
    if(WIN32 AND n MATCHES "_posix$")
      continue()
    endif()
    if(NOT WIN32 AND n MATCHES "_win32$")
      continue()
    endif()
    list(APPEND result ${f})
  endforeach()
  set(${out_var} ${result} PARENT_SCOPE)
endfunction()

# vaultline_library(name [SHARED] [DEPS dep...]): one library for the calling folder.
# Headers are included as "folder/name.h" from src/.
function(vaultline_library name)
  cmake_parse_arguments(ARG "SHARED" "" "DEPS;QT" ${ARGN})
  vaultline_sources(srcs ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_SHARED)
    add_library(${name} SHARED ${srcs})
  else()
    add_library(${name} STATIC ${srcs})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE vaultline_flags)
endfunction()

# vaultline_test(folder [DEPS dep...]): one GoogleTest binary of tests/<folder>/*_test.cc.
function(vaultline_test folder)
  cmake_parse_arguments(ARG "" "" "DEPS;ENV" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  add_executable(${folder}_test ${srcs})
  target_include_directories(${folder}_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${folder}_test PRIVATE ${ARG_DEPS} test_common GTest::gtest GTest::gmock
                                               GTest::gtest_main vaultline_flags)
  gtest_discover_tests(${folder}_test
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120 ENVIRONMENT "${ARG_ENV}")
endfunction()
