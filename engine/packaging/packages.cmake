# Debian packages: one per game of the series (its install component, named as its executable) and
# one for the score server (component vq-score-server), made by CPack's DEB generator with
# dpkg-shlibdeps finding the libraries each program needs. scripts/build-debs.sh configures a build
# for /usr (its settings in /etc, its systemd unit in /lib/systemd/system) and makes them all.
#
#   vq_install_documents(COMPONENT TITLE COPYRIGHT)
#     installs share/doc/COMPONENT/copyright (COPYRIGHT, configured with @VQ_DOC_NAME@ and
#     @VQ_DOC_TITLE@) and share/doc/COMPONENT/changelog.gz, as Debian wants them in every package.
#   vq_debian_packages()
#     after the last game: the CPack settings of every component registered (VQ_PACKAGES).
include_guard(GLOBAL)

set(VQ_PACKAGE_MAINTAINER "Tolvaner <tolvaner@users.noreply.github.com>" CACHE STRING
    "The Maintainer of the Debian packages")
# Where the server's systemd unit goes: beside the prefix for a tree install, /lib/systemd/system
# for a Debian package.
set(VQ_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING "Install folder of the score server's systemd unit")
# Where the games' programs go: bin/ for a tree install, games/ (/usr/games) for Debian packages,
# which keep games apart. Each finds its data at ../share/NAME from its own folder either way.
set(VQ_GAME_BINDIR ${CMAKE_INSTALL_BINDIR} CACHE STRING "Install folder of the games' programs")

function(vq_install_documents component title copyright)
  get_property(version GLOBAL PROPERTY VQ_PACKAGE_${component}_VERSION)
  set(docs ${CMAKE_BINARY_DIR}/packaging/doc/${component})
  set(VQ_DOC_NAME ${component})
  set(VQ_DOC_TITLE "${title}")
  configure_file(${copyright} ${docs}/copyright @ONLY)
  # A native package's changelog: its one release so far, dated by the build's release date.
  string(TIMESTAMP now "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${docs}/changelog "${component} (${version}) unstable; urgency=medium\n\n"
             "  * Release ${version}.\n\n -- ${VQ_PACKAGE_MAINTAINER}  ${now}\n")
  add_custom_command(OUTPUT ${docs}/changelog.gz
    COMMAND gzip -9nc ${docs}/changelog > ${docs}/changelog.gz
    DEPENDS ${docs}/changelog VERBATIM)
  add_custom_target(${component}_docs ALL DEPENDS ${docs}/changelog.gz)
  install(FILES ${docs}/copyright ${docs}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${component} COMPONENT ${component})
endfunction()

function(vq_debian_packages)
  get_property(components GLOBAL PROPERTY VQ_PACKAGES)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL ${components})
  set(CPACK_PACKAGE_VENDOR "The makers of the series")
  set(CPACK_PACKAGE_CONTACT "${VQ_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VQ_PACKAGE_MAINTAINER}")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
  foreach(component ${components})
    string(TOUPPER ${component} up)
    get_property(summary GLOBAL PROPERTY VQ_PACKAGE_${component}_SUMMARY)
    get_property(section GLOBAL PROPERTY VQ_PACKAGE_${component}_SECTION)
    get_property(details GLOBAL PROPERTY VQ_PACKAGE_${component}_DETAILS)
    list(JOIN details "" details)  # given as several strings, one a line (no ";" in them)
    get_property(recommends GLOBAL PROPERTY VQ_PACKAGE_${component}_RECOMMENDS)
    get_property(extra GLOBAL PROPERTY VQ_PACKAGE_${component}_CONTROL_EXTRA)
    set(CPACK_DEBIAN_${up}_PACKAGE_NAME ${component})
    set(CPACK_DEBIAN_${up}_PACKAGE_SECTION ${section})
    set(CPACK_DEBIAN_${up}_DESCRIPTION "${summary}\n${details}")
    if(recommends)
      set(CPACK_DEBIAN_${up}_PACKAGE_RECOMMENDS "${recommends}")
    endif()
    if(extra)
      set(CPACK_DEBIAN_${up}_PACKAGE_CONTROL_EXTRA "${extra}")
      set(CPACK_DEBIAN_${up}_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    endif()
  endforeach()
  # Each package has its own version: scripts/build-debs.sh makes them one at a time, passing
  # CPACK_COMPONENTS_ALL and CPACK_PACKAGE_VERSION for each (cpack -D).
  set(list "")
  foreach(component ${components})
    get_property(version GLOBAL PROPERTY VQ_PACKAGE_${component}_VERSION)
    string(APPEND list "${component} ${version}\n")
  endforeach()
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/packages.txt "${list}")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  include(CPack)
endfunction()
