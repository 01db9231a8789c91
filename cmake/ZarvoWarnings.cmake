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
# For example -DZARVO_SANITIZE=address,undefined
set(ZARVO_SANITIZE "" CACHE STRING "Sanitizers to build with")

add_compile_options(-Wall -Wextra)
if(ZARVO_WERROR)
  add_compile_options(-Werror)
endif()
if(ZARVO_SANITIZE)
  add_compile_options(-fsanitize=${ZARVO_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ZARVO_SANITIZE})
endif()
