# Debian packages, built with `cpack -G DEB` in the build folder: "corvanel" (the program and
# its desktop files) and "qmtool" (the command-line reader alone, no Qt, for servers). Their
# library dependencies come from dpkg-shlibdeps over the linked binaries. A description is a
# synopsis line, then the long text in lines under 80 columns (CPack indents them).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvanel)
set(CPACK_PACKAGE_VENDOR "Quelmar·Corvanel developers")
set(CPACK_PACKAGE_CONTACT "Quelmar·Corvanel developers <corvanel@quelmar.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL corvanel qmtool)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QM_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_RELEASE "")

set(CPACK_DEBIAN_CORVANEL_PACKAGE_NAME corvanel)
# Plugins are loaded at run time, so the linker cannot name them: the X11 platform plugin is
# needed to start at all; the Wayland plugin, the input-method front ends and fonts for
# emoji and rare ideographs (CJK Extension B) are what a fresh desktop lacks.
set(CPACK_DEBIAN_CORVANEL_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_CORVANEL_PACKAGE_RECOMMENDS
    "qt6-wayland, fcitx5-frontend-qt6, ibus, fonts-noto-cjk, fonts-hanazono, fonts-noto-color-emoji, qmtool (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_CORVANEL_PACKAGE_SECTION editors)
set(CPACK_COMPONENT_CORVANEL_DESCRIPTION
    "notes in a tree of unlimited depth
Quelmar·Corvanel keeps plain-text notes in one tree of unlimited depth, with a
recycle bin, search over titles and bodies (substring, whole text, ignore
case, regular expressions), note paths and links, and numbered backups. Every
change is written to disk at once through a journal. The interface is in
Chinese.")

set(CPACK_DEBIAN_QMTOOL_PACKAGE_NAME qmtool)
set(CPACK_COMPONENT_QMTOOL_DESCRIPTION
    "command-line reader of Quelmar·Corvanel notebooks
qmtool prints the outline of a Quelmar·Corvanel tree file, the body of a note,
the notes whose title or body matches a query, and a consistency report. It
never writes to the file and needs no graphical libraries.")

include(CPack)
