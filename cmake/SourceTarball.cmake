# `ninja source-tarball` makes dialdex-VERSION.tar.xz in the build folder from the committed tree.
add_custom_target(source-tarball
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/source-tarball.sh ${CMAKE_BINARY_DIR}
  VERBATIM USES_TERMINAL)
