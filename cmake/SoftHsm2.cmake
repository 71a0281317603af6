# SoftHSM2, whose tokens stand in for smart cards in the PKCS#11 tests and
# benchmark: SOFTHSM2_MODULE (the module file) and SOFTHSM2_UTIL (the tool
# that makes tokens), empty when not installed.
find_file(SOFTHSM2_MODULE libsofthsm2.so
          PATHS /usr/lib/softhsm /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/softhsm /usr/local/lib/softhsm
          NO_DEFAULT_PATH)
find_program(SOFTHSM2_UTIL softhsm2-util)
