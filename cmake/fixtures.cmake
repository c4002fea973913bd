# The demo product and the demo package that the launcher carries by default.
set(FIXTURES_DIR ${CMAKE_BINARY_DIR}/fixtures)
set(DEMO_PACKAGE ${FIXTURES_DIR}/demo.msp)
add_custom_command(
  OUTPUT ${DEMO_PACKAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${FIXTURES_DIR}
  COMMAND ${CMAKE_COMMAND} -E echo_append "placeholder package" > ${DEMO_PACKAGE}
  COMMENT "Making the demo package")
add_custom_target(demo_fixtures DEPENDS ${DEMO_PACKAGE})
