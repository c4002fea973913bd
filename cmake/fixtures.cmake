# The demo product and package, and the products and packages of the tests, made from scratch by
# the fixture builders (Python with wixl and gcab) at build time.
set(FIXTURES_DIR ${CMAKE_BINARY_DIR}/fixtures)
set(DEMO_PACKAGE ${FIXTURES_DIR}/demo.msp)
file(GLOB fixture_tools ${CMAKE_SOURCE_DIR}/tools/fixtures/*.py)
add_custom_command(
  OUTPUT ${FIXTURES_DIR}/catalog.h ${FIXTURES_DIR}/catalog.json ${DEMO_PACKAGE}
         ${FIXTURES_DIR}/alpha.msp ${FIXTURES_DIR}/beta_without_cabinet.msp ${FIXTURES_DIR}/gamma_variant.msp
         ${FIXTURES_DIR}/global.msp ${FIXTURES_DIR}/langpack.msp ${FIXTURES_DIR}/specific.msp
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/fixtures/catalog.py ${FIXTURES_DIR}
  DEPENDS ${fixture_tools}
  COMMENT "Making the demo and test products and patch packages")
add_custom_target(fixtures DEPENDS ${FIXTURES_DIR}/catalog.h ${DEMO_PACKAGE})
