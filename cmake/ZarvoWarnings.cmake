# Warnings are errors unless a developer turns that off for a local experiment.
option(ZARVO_WERROR "Treat compiler warnings as errors" ON)
# For example -DZARVO_SANITIZE=address,undefined (what `make test-sanitize`
# builds). Undefined behaviour ends the program, so a test cannot pass over it.
set(ZARVO_SANITIZE "" CACHE STRING "Sanitizers to build with")
# A fuzzing build (clang only): everything is instrumented for libFuzzer and
# built with AddressSanitizer and UBSan; `make fuzz` uses one.
option(ZARVO_FUZZ "Build the fuzz targets with libFuzzer" OFF)

add_compile_options(-Wall -Wextra)
if(ZARVO_WERROR)
  add_compile_options(-Werror)
endif()
if(ZARVO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZARVO_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  set(ZARVO_SANITIZE address,undefined CACHE STRING "" FORCE)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(ZARVO_SANITIZE)
  add_compile_options(-fsanitize=${ZARVO_SANITIZE} -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ZARVO_SANITIZE})
endif()
