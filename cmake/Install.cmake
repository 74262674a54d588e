# `cmake --install` and `cpack -G DEB`: the program, beside the desktop files
# that resources/desktop installs. Included once every target exists.
include(GNUInstallDirs)
install(TARGETS embossa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME embossa)
set(CPACK_PACKAGE_VENDOR "The Embossa developers")
set(CPACK_PACKAGE_CONTACT "The Embossa developers <embossa@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Kept to Debian's line length; CPack indents each line for the control file.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Embossa reads an image as a height map and builds a closed relief block"
  "from it for 3D printing, milling or a 3D scene. Its window shows the"
  "image's preview and the relief in a 3D view you can orbit, and saves the"
  "block as a Wavefront OBJ file; on the command line it converts images to"
  "OBJ, STL or PLY without a display. It reads PNG, JPEG, BMP, TGA, DDS,"
  "Radiance HDR, PFM, PPM and PCX images.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# A package carries the program without its debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the program links come from dpkg-shlibdeps. OpenGL and EGL
# are opened at run time (by SDL and libepoxy), which it cannot see; the
# dialog's 3D view needs them. Without the DejaVu font the dialog falls back
# to a built-in one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
include(CPack)
