# What a station installs, and the Debian package made of it by CPack from this build
# tree (cpack, or the "package" target): corvancontrol_<version>_<arch>.deb.
#
# Destinations are relative to "/" (CPACK_PACKAGING_INSTALL_PREFIX), so that
# `cmake --install build --prefix DIR` stages the same tree under DIR.
# Only the two programs and what a station needs of them are installed: the simulators,
# tests, benchmarks and libraries have no install rules (scripts/package-lint checks the
# package's list of files).

set(CORVAN_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(CORVAN_APP_ID org.corvan.CorvanControl)
# The program folder: both programs live there, because the panel takes the folder of its
# own executable as the folder it shares with the service.
set(CORVAN_PROGRAM_FOLDER opt/corvan)
set(CORVAN_VENDOR_URL "https://www.tarnex.example" CACHE STRING
  "The vendor's web site: the AppStream home page and screenshot are under /downloads")

# The package's changelog names the version, its date and the maintainer; its newest
# entry must be the project version.
file(STRINGS ${CORVAN_PACKAGING_DIR}/debian/changelog _changelog)
list(GET _changelog 0 _changelog_head)
string(REGEX MATCH "^corvancontrol \\(([^)]+)\\)" _ "${_changelog_head}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/debian/changelog begins with version '${CMAKE_MATCH_1}', "
    "the project is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION} at its top")
endif()
set(_month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
foreach(_line IN LISTS _changelog)
  if(_line MATCHES "^ -- (.+>)  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(CORVAN_MAINTAINER "${CMAKE_MATCH_1}")
    math(EXPR _day "${CMAKE_MATCH_2}")
    set(_year ${CMAKE_MATCH_4})
    list(FIND _month_names ${CMAKE_MATCH_3} _month)
    math(EXPR _month "${_month} + 1")
    break()
  endif()
endforeach()
if(NOT CORVAN_MAINTAINER OR _month LESS 1)
  message(FATAL_ERROR "packaging/debian/changelog: no ' -- NAME <EMAIL>  DATE' line after the first entry")
endif()
foreach(_part _month _day)
  if(${_part} LESS 10)
    set(${_part} 0${${_part}})
  endif()
endforeach()
set(CORVAN_RELEASE_DATE ${_year}-${_month}-${_day})

install(TARGETS corvancontrol corvanctl RUNTIME DESTINATION ${CORVAN_PROGRAM_FOLDER})

set(_staged ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_staged})
# Absolute: the link crosses from /usr to /opt.
file(CREATE_LINK /${CORVAN_PROGRAM_FOLDER}/corvanctl ${_staged}/corvanctl SYMBOLIC)
install(FILES ${_staged}/corvanctl DESTINATION usr/bin)

install(FILES ${CORVAN_PACKAGING_DIR}/${CORVAN_APP_ID}.desktop DESTINATION usr/share/applications)
# The log-on entry is the package's (see the README's Install section): the panel leaves an
# entry alone that already starts it from the same file.
install(FILES ${CORVAN_PACKAGING_DIR}/autostart/CorvanControl.desktop DESTINATION etc/xdg/autostart)

# The PNG sizes are rendered from the SVG: rsvg-convert -w N -h N.
foreach(_size 48 128 256)
  install(FILES ${CORVAN_PACKAGING_DIR}/icons/${CORVAN_APP_ID}-${_size}.png
    DESTINATION usr/share/icons/hicolor/${_size}x${_size}/apps RENAME ${CORVAN_APP_ID}.png)
endforeach()
install(FILES ${CORVAN_PACKAGING_DIR}/icons/${CORVAN_APP_ID}.svg DESTINATION usr/share/icons/hicolor/scalable/apps)

configure_file(${CORVAN_PACKAGING_DIR}/${CORVAN_APP_ID}.metainfo.xml.in
  ${_staged}/${CORVAN_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_staged}/${CORVAN_APP_ID}.metainfo.xml DESTINATION usr/share/metainfo)

install(FILES ${CORVAN_PACKAGING_DIR}/bash-completion/corvanctl
  DESTINATION usr/share/bash-completion/completions)

# Manual pages (with the release's version and date) and the changelog compressed as
# Debian wants them: maximum compression, no name or time stamp in the header.
set(_compressed)
foreach(_page corvanctl.1 corvancontrol.1)
  configure_file(${CORVAN_PACKAGING_DIR}/man/${_page} ${_staged}/${_page} @ONLY)
endforeach()
foreach(_file ${_staged}/corvanctl.1 ${_staged}/corvancontrol.1 ${CORVAN_PACKAGING_DIR}/debian/changelog)
  get_filename_component(_name ${_file} NAME)
  add_custom_command(OUTPUT ${_staged}/${_name}.gz
    COMMAND sh -c "gzip -9n <\"$0\" >\"$1\"" ${_file} ${_staged}/${_name}.gz
    DEPENDS ${_file}
    VERBATIM)
  list(APPEND _compressed ${_staged}/${_name}.gz)
endforeach()
add_custom_target(corvan_compressed_docs ALL DEPENDS ${_compressed})
install(FILES ${_staged}/corvanctl.1.gz ${_staged}/corvancontrol.1.gz DESTINATION usr/share/man/man1)
install(FILES ${_staged}/changelog.gz ${CORVAN_PACKAGING_DIR}/debian/copyright
  DESTINATION usr/share/doc/corvancontrol)
install(FILES ${CORVAN_PACKAGING_DIR}/debian/lintian-overrides
  DESTINATION usr/share/lintian/overrides RENAME corvancontrol)

# ---- the Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvancontrol)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_CONTACT "${CORVAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CORVAN_VENDOR_URL}/downloads")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "control panel of the Corvan pager service
CorvanControl watches the Corvan service, which turns emergency-service pager
pages into printed task sheets, through the files it writes into the program
folder they share (/opt/corvan). It shows the service's state behind a
notification-area icon, edits the shared settings file, broadcasts test pages,
enters pages by hand and compares installed with published versions.

corvanctl does the same from a terminal, for stations without a desktop.")
# Libraries come from dpkg-shlibdeps (Qt's xcb and offscreen platform plugins come with
# libqt6gui6). Only what no linker sees is named here: postinst calls addgroup, and links
# and task sheets open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
file(WRITE ${_staged}/conffiles "/etc/xdg/autostart/CorvanControl.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CORVAN_PACKAGING_DIR}/debian/postinst ${CORVAN_PACKAGING_DIR}/debian/postrm ${_staged}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
