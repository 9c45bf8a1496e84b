# Shared compile settings and a helper that turns a folder into one library per layer.

add_library(kavor_options INTERFACE)
if(MSVC)
  target_compile_options(kavor_options INTERFACE /W4 /permissive- /utf-8)
else()
  target_compile_options(kavor_options INTERFACE -Wall -Wextra -Wpedantic)
endif()

if(KAVOR_FUZZ)
  # Everything the fuzz targets reach is instrumented for coverage and checked by ASan/UBSan.
  target_compile_options(kavor_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                 -fno-omit-frame-pointer)
  target_link_options(kavor_options INTERFACE -fsanitize=address,undefined)
elseif(KAVOR_SANITIZE STREQUAL "address")
  target_compile_options(kavor_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
  target_link_options(kavor_options INTERFACE -fsanitize=address,undefined)
elseif(KAVOR_SANITIZE STREQUAL "thread")
  target_compile_options(kavor_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(kavor_options INTERFACE -fsanitize=thread)
elseif(NOT KAVOR_SANITIZE STREQUAL "")
  message(FATAL_ERROR "KAVOR_SANITIZE must be address, thread or empty")
endif()

# Sources of a layer: every .cpp in the folder; files named *_linux, *_posix, *_win and *_mac
# are taken only on their platform, so each platform concern stays in one small file.
function(kavor_layer_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(result "")
  foreach(f IN LISTS all)
    get_filename_component(name "${f}" NAME_WE)
    if(name MATCHES "_linux$" AND NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
      continue()
    elseif(name MATCHES "_posix$" AND WIN32)
      continue()
    elseif(name MATCHES "_win$" AND NOT WIN32)
      continue()
    elseif(name MATCHES "_mac$" AND NOT APPLE)
      continue()
    elseif(name MATCHES "_other$" AND (CMAKE_SYSTEM_NAME STREQUAL "Linux"))
      continue()
    endif()
    list(APPEND result "${f}")
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# kavor_layer(NAME dir DEPS ...): a static library of one layer.
function(kavor_layer name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  kavor_layer_sources(srcs "${dir}")
  file(GLOB hdrs CONFIGURE_DEPENDS "${dir}/*.h")
  if(NOT srcs)
    # A layer that has no code yet.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs} ${hdrs})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE kavor_options)
endfunction()

# Every test runs headless and in German, the language the program is written in, whatever the
# developer's desktop speaks; tests of the English texts choose English themselves.
set(KAVOR_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KAVORCONFIG_LANG=de")

# kavor_gtest(NAME dir DEPS ...): one GoogleTest program of every *_test.cpp in the folder.
function(kavor_gtest name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS "${dir}/*_test.cpp")
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kavor_test_main GTest::gtest kavor_options)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "${KAVOR_TEST_ENVIRONMENT}")
endfunction()

# kavor_qtest(dir DEPS ...): one Qt Test program per *_test.cpp in the folder (widget tests).
function(kavor_qtest prefix dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS "${dir}/*_test.cpp")
  foreach(src IN LISTS srcs)
    get_filename_component(base "${src}" NAME_WE)
    set(target "${prefix}_${base}")
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} Qt6::Test kavor_options)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "${KAVOR_TEST_ENVIRONMENT}" TIMEOUT 120)
  endforeach()
endfunction()
