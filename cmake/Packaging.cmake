# Debian packages with CPack (make package): libquil-dev, the library with its headers, CMake
# package and pkg-config file; and quil-programs, quadrun and linrun, whose dependencies
# dpkg-shlibdeps computes from the binaries.
include(GNUInstallDirs)
set(QUIL_PACKAGE_CONTACT "QUIL maintainers <quil@localhost>" CACHE STRING
    "The Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quil)
# Each package's summary is the first line of its component's description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_CONTACT "${QUIL_PACKAGE_CONTACT}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_COMPONENTS_ALL library)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libquil-dev)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "vectors and matrices of double (QUIL library)
The QUIL routine layer (records and free functions: arithmetic, products, four
determinant algorithms, inverse and solve) and object layer (SVect, SMtrx,
SMtrxNN with operators and exceptions), with the CMake package Quil and the
pkg-config file quil.")

if(TARGET quadrun AND TARGET linrun)
    install(TARGETS quadrun linrun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
    list(APPEND CPACK_COMPONENTS_ALL programs)
    set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME quil-programs)
    set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION math)
    set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION "test programs of the QUIL library
quadrun (square matrices) and linrun (vectors) run the library on fixed data
and show every result as a text report: in a desktop window, in the terminal,
or on standard output.")
    if(BUILD_SHARED_LIBS)
        # The programs then load the shared message box of the library package, which
        # dpkg-shlibdeps cannot name: it is found in the build tree only.
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/toolkit)
        set(CPACK_COMPONENT_PROGRAMS_DEPENDS library)
        set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
    endif()
endif()

include(CPack)
