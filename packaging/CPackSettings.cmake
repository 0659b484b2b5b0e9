# SPDX-License-Identifier: GPL-3.0-or-later
# make package: a .deb whose dependencies dpkg-shlibdeps reads off the linked libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print one picture as a large poster over many pages")
# Debian wants the long description in lines of at most 80 characters; CPack puts the summary
# before it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmora enlarges a picture over a grid of printer pages, each with its share
of the picture, glue strips and cut and glue lines, and prints it to a
printer or a PDF file. velmora-poster does the same from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's own revision of the upstream version, as packaging/changelog counts it.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmora developers <maintainers@velmora.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/velmora/velmora")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these at run time, and the programs open libvips and SDL_image (with SDL) when first
# needed, so no linked library names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6svg6, libvips42, libsdl2-image-2.0-0, libsdl2-2.0-0")
# Qt's own words for its standard dialogs, beside the program's translation.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, sane-utils, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
