# Names shared by the desktop files under data/ and the program: the application id (file
# names of the menu entry, icon and metainfo; the Wayland app id), the X11 window class and
# where the icon PNGs are rendered.
include(GNUInstallDirs)

set(QM_APP_ID "org.quelmar.corvanel")
# Qt names the X11 window class after the application name that main() sets.
set(QM_WINDOW_CLASS "Corvanelia")
set(QM_HOMEPAGE "https://quelmar.org/corvanel" CACHE STRING "Web page named in the metainfo")
set(QM_PROJECT_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX licence of the program")
set(QM_ICON_SIZES 16 22 24 32 48 64 128 256)
set(QM_ICON_BUILD_DIR "${PROJECT_BINARY_DIR}/data/icons")
