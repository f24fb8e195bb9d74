# The desktop integration and the Debian package.
#
# Installed beside the programs (CMAKE_INSTALL_PREFIX, /usr in the package): the menu entry,
# the icon in the hicolor theme (scalable, and PNGs rendered from it at build time), the
# AppStream metainfo, the manual pages, completion of velto-machine and vlt for bash, zsh and
# fish (where Debian's shells look for a package's own), and the copyright
# and changelog files Debian expects. `make package` (the CPack target `package`) builds
# velto_<version>_amd64.deb from the same install rules.

include_guard(GLOBAL)

set(VELTO_APP_ID "example.korvane.velto")
set(packaging "${PROJECT_SOURCE_DIR}/packaging")
set(staged "${CMAKE_BINARY_DIR}/packaging")

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP gzip REQUIRED)

# Icons: the SVG as drawn, and one PNG per size the desktop asks for.
set(icon_svg "${packaging}/icons/${VELTO_APP_ID}.svg")
set(icon_pngs)
foreach(size 16 22 24 32 48 64 128 256)
    set(png "${staged}/icons/${size}x${size}/${VELTO_APP_ID}.png")
    add_custom_command(OUTPUT "${png}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${staged}/icons/${size}x${size}"
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o "${png}" "${icon_svg}"
        DEPENDS "${icon_svg}"
        VERBATIM)
    list(APPEND icon_pngs "${png}")
    install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
install(FILES "${icon_svg}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")

# Manual pages and the changelog, compressed as Debian wants them (gzip -9, no name or time
# stamp, so the package is reproducible).
set(compressed)
foreach(page vlt.1 velto-machine.1)
    set(gz "${staged}/man/${page}.gz")
    add_custom_command(OUTPUT "${gz}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${staged}/man"
        COMMAND ${GZIP} -9nc "${packaging}/man/${page}" > "${gz}"
        DEPENDS "${packaging}/man/${page}")
    list(APPEND compressed "${gz}")
    install(FILES "${gz}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()
set(changelog_gz "${staged}/changelog.gz")
add_custom_command(OUTPUT "${changelog_gz}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${staged}"
    COMMAND ${GZIP} -9nc "${packaging}/changelog" > "${changelog_gz}"
    DEPENDS "${packaging}/changelog")
add_custom_target(velto_packaging_files ALL DEPENDS ${icon_pngs} ${compressed} "${changelog_gz}")

install(FILES "${packaging}/${VELTO_APP_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${packaging}/${VELTO_APP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${packaging}/bash-completion/velto-machine" "${packaging}/bash-completion/vlt"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
install(FILES "${packaging}/zsh/_velto-machine" "${packaging}/zsh/_vlt"
              "${packaging}/zsh/_velto_machine_machine"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions")
install(FILES "${packaging}/fish/velto-machine.fish" "${packaging}/fish/vlt.fish"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d")
install(FILES "${packaging}/copyright" "${changelog_gz}" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/velto")

# The Debian package.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "velto")
set(CPACK_PACKAGE_VENDOR "${VELTO_COMPANY}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds old duplicate copies of Windows system files")
# Lines of at most 80 characters, as the package tools show them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Setup programs scatter their own copies of shared libraries, controls and"
    "drivers over a Windows machine. Velto checks an emulated Windows machine for"
    "such copies: it groups the copies of each file name, reads their versions,"
    "dates and makers, recommends the copy to keep, and replaces or removes the"
    "others at the machine's next start, with backups and an HTML report."
    "velto-machine creates, starts and checks machines from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Korvane <velto@korvane.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.korvane.example/velto/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The report and the help open in the desktop's browser through xdg-open; Qt draws its text
# with the DejaVu fonts when the desktop has none of its own.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-dejavu-core")
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
include(CPack)
