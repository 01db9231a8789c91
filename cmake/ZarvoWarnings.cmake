# Warnings are errors in the developers' and CI builds (Debug, RelWithDebInfo)
# unless a developer turns that off for a local experiment. A Release build is
# the packaging build: it adds whatever flags the distribution uses and may meet
# another compiler's false positives, so it reports warnings without failing.
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  set(werror_default OFF)
else()
  set(werror_default ON)
endif()
option(ZARVO_WERROR "Treat compiler warnings as errors" ${werror_default})
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
  # GCC's flow-based warnings misfire on instrumented code (seen in
  # libstdc++'s regex and string assignment at -O2 with AddressSanitizer):
  # they stay visible there, but only the plain build fails on them.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-error=maybe-uninitialized -Wno-error=restrict)
  endif()
endif()
