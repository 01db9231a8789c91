# Warnings are errors unless a developer turns that off for a local experiment.
option(ZARVO_WERROR "Treat compiler warnings as errors" ON)
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
