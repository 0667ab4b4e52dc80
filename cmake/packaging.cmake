# How kdlib reaches hosts: the install rules with the CMake package and the
# pkg-config file, and the Debian packages CPack makes from the same rules.
#
# Components: runtime (the shared library), dev (header, import library,
# CMake and pkg-config files) and kdpdf (the reference host and its
# pictures, installed by tools/kdpdf).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

option(KDLIB_DEB_PACKAGES "Install the Debian documentation files each .deb carries and leave build paths out of kdpdf" OFF)

set(KDLIB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kdlib)
install(TARGETS kdlib EXPORT kdlibTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(FILES include/kdlib.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

file(RELATIVE_PATH KDLIB_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(kdlib.pc.in ${PROJECT_BINARY_DIR}/kdlib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kdlib.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# find_package(kdlib CONFIG): the imported target kdlib::kdlib, found
# relative to where the files are installed. A host that adds these sources
# to its own build uses the same name.
add_library(kdlib::kdlib ALIAS kdlib)
install(EXPORT kdlibTargets NAMESPACE kdlib:: DESTINATION ${KDLIB_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/kdlibConfig.cmake.in ${PROJECT_BINARY_DIR}/kdlibConfig.cmake
  INSTALL_DESTINATION ${KDLIB_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kdlibConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kdlibConfig.cmake ${PROJECT_BINARY_DIR}/kdlibConfigVersion.cmake
  DESTINATION ${KDLIB_CMAKE_DIR} COMPONENT dev)

if(MINGW)
  # kdlib.def for hosts whose toolchain makes its own import library
  # (lib /def:kdlib.def): the exports as the linker lists them, by name. And
  # the notes for Windows hosts at the top of the archive.
  target_link_options(kdlib PRIVATE -Wl,--output-def,${PROJECT_BINARY_DIR}/kdlib-exports.def)
  add_custom_command(TARGET kdlib POST_BUILD
    COMMAND ${CMAKE_COMMAND} -Din=${PROJECT_BINARY_DIR}/kdlib-exports.def -Dout=${PROJECT_BINARY_DIR}/kdlib.def
            -P ${PROJECT_SOURCE_DIR}/cmake/windows/exports_def.cmake)
  install(FILES ${PROJECT_BINARY_DIR}/kdlib.def DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
  install(FILES cmake/windows/README.txt DESTINATION . COMPONENT dev)
  return()
endif()

# The manual page of kdpdf, compressed as Debian ships them.
find_program(KDLIB_GZIP gzip)
if(KDLIB_GZIP AND EXISTS ${PROJECT_SOURCE_DIR}/tools/kdpdf/kdpdf.1.in)
  configure_file(tools/kdpdf/kdpdf.1.in ${PROJECT_BINARY_DIR}/kdpdf.1 @ONLY)
  execute_process(COMMAND ${KDLIB_GZIP} -9nc ${PROJECT_BINARY_DIR}/kdpdf.1 OUTPUT_FILE ${PROJECT_BINARY_DIR}/kdpdf.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/kdpdf.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT kdpdf)
endif()

# ---- Debian packages: cpack -G DEB (scripts/package.sh) ----
get_target_property(soversion kdlib SOVERSION)
set(KDLIB_DEB_NAMES libkdlib${soversion} libkdlib-dev kdpdf)
set(KDLIB_DEB_COMPONENTS runtime dev kdpdf)
if(KDLIB_DEB_PACKAGES)
  # Every package carries its copyright and changelog in its own doc folder.
  file(STRINGS cmake/debian/changelog top LIMIT_COUNT 1)
  if(NOT top MATCHES "^kdlib \\(${PROJECT_VERSION}\\)")
    message(FATAL_ERROR "cmake/debian/changelog needs an entry for ${PROJECT_VERSION}")
  endif()
  execute_process(COMMAND ${KDLIB_GZIP} -9nc ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz)
  foreach(name component IN ZIP_LISTS KDLIB_DEB_NAMES KDLIB_DEB_COMPONENTS)
    install(FILES cmake/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component})
  endforeach()
endif()

set(CPACK_PACKAGE_NAME kdlib)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(KDLIB_MAINTAINER "kdlib maintainers <maintainers@users.noreply.c-seed-f2aa4134.example>"
  CACHE STRING "Maintainer field of the Debian packages")
set(CPACK_PACKAGE_CONTACT ${KDLIB_MAINTAINER})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${KDLIB_DEB_COMPONENTS})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Runtime dependencies from what the binaries link (dpkg-shlibdeps); the
# library's own shlibs file lets other packages depend on it the same way.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# kdpdf links the library of this build, which no installed package has yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
list(GET KDLIB_DEB_NAMES 0 runtime_name)
foreach(name component IN ZIP_LISTS KDLIB_DEB_NAMES KDLIB_DEB_COMPONENTS)
  string(TOUPPER ${component} c)
  set(CPACK_DEBIAN_${c}_PACKAGE_NAME ${name})
endforeach()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# dpkg's ldconfig trigger refreshes the loader cache. The postinst and postrm
# named here do not exist (CPack warns and leaves them out): naming them keeps
# CPack from writing maintainer scripts that call ldconfig themselves.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers
  ${PROJECT_BINARY_DIR}/no-maintainer-script/postinst ${PROJECT_BINARY_DIR}/no-maintainer-script/postrm)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "font, text, image and encryption services for PDF report engines
kdlib does the byte-, glyph- and pixel-level work for report engines that
write PDF themselves: font metrics and subset TrueType font programs, text
re-encoding, Arabic shaping and bidirectional reordering, image objects from
BMP, PNG, JPEG, JPEG 2000 and JBIG2 files, the PDF standard security handler,
a content-stream string builder and deflate, Base64 and hexadecimal file
codecs.
.
This package contains the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${runtime_name} (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION "font, text, image and encryption services for PDF - development files
kdlib does the byte-, glyph- and pixel-level work for report engines that
write PDF themselves.
.
This package contains the header kdlib.h, the CMake package (imported target
kdlib::kdlib) and the pkg-config file.")

set(CPACK_DEBIAN_KDPDF_PACKAGE_SECTION text)
set(CPACK_DEBIAN_KDPDF_PACKAGE_DEPENDS "${runtime_name} (>= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_KDPDF_DESCRIPTION "reference report writer built on kdlib
kdpdf lays out a UTF-8 text file, or its built-in sample report, as a PDF
document with subset fonts, pictures and optional encryption, taking every
width, code, font program and picture stream from kdlib.")

include(CPack)
