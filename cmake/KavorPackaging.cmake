# Installation into the usual places (programs, desktop entry, icon, manual pages) and the Debian
# package built from it by CPack.

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(kavor_packaging "${PROJECT_SOURCE_DIR}/packaging")
set(kavor_generated "${PROJECT_BINARY_DIR}/packaging")
set(kavor_programs kavorctl)
if(TARGET kavorconfig)
  list(APPEND kavor_programs kavorconfig)
endif()

install(TARGETS ${kavor_programs} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

if(TARGET kavorconfig)
  install(FILES "${kavor_packaging}/kavorconfig.desktop"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${kavor_packaging}/icons/kavorconfig.svg"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
  foreach(size IN LISTS KAVOR_ICON_SIZES)
    install(FILES "${kavor_packaging}/icons/kavorconfig-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME kavorconfig.png)
  endforeach()
endif()

if(UNIX AND NOT APPLE)
  # Manual pages and the Debian changelog carry the project version; Debian wants them compressed
  # without a time stamp, so that the package is the same however often it is built.
  find_program(KAVOR_GZIP gzip REQUIRED)
  set(kavor_compressed "")
  foreach(program IN LISTS kavor_programs)
    configure_file("${kavor_packaging}/man/${program}.1.in" "${kavor_generated}/${program}.1" @ONLY)
    list(APPEND kavor_compressed "${program}.1")
  endforeach()
  configure_file("${kavor_packaging}/debian/changelog.in" "${kavor_generated}/changelog" @ONLY)
  list(APPEND kavor_compressed changelog)
  set(kavor_gz "")
  foreach(name IN LISTS kavor_compressed)
    add_custom_command(OUTPUT "${kavor_generated}/${name}.gz"
                       COMMAND "${KAVOR_GZIP}" -9nf -k "${kavor_generated}/${name}"
                       DEPENDS "${kavor_generated}/${name}" VERBATIM)
    list(APPEND kavor_gz "${kavor_generated}/${name}.gz")
  endforeach()
  add_custom_target(kavor_packaging_files ALL DEPENDS ${kavor_gz})
  foreach(program IN LISTS kavor_programs)
    install(FILES "${kavor_generated}/${program}.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  endforeach()
  set(kavor_docdir "${CMAKE_INSTALL_DATADIR}/doc/kavorconfig")
  install(FILES "${kavor_generated}/changelog.gz" "${kavor_packaging}/debian/copyright"
                "${kavor_packaging}/debian/README.Debian"
          DESTINATION "${kavor_docdir}")
  install(FILES "${kavor_packaging}/debian/lintian-overrides"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME kavorconfig)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavorconfig)
# All four parts: CPack's default drops the fourth.
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Quorvane")
set(CPACK_PACKAGE_CONTACT "KavorConfig maintainers <kavorconfig@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and test the RS485 module bus of a model railway")
set(CPACK_PACKAGE_DESCRIPTION
    "KavorConfig declares the interface cards on the PC's serial ports,
searches each RS485 bus for its controller cards (switch and signal
cards, throttle cards, port expansions), shows every card live in its
own window and drives it, changes bus addresses, sends raw command
lines and keeps the layout in one model file. kavorctl does the same
from the command line; a simulated bus (port SIM) lets you try
everything without hardware.

The serial ports belong to the group dialout: add yourself with
'sudo usermod -aG dialout $USER' and log in again (see README.Debian).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries come from dpkg-shlibdeps; Qt loads its platform plugin (the window system
# connection) at run time, so that package is named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own dialog texts in German; without them the standard buttons stay English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
