# The Debian package: cpack -G DEB in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr gives tarnvale_<version>_amd64.deb.
set(CPACK_PACKAGE_NAME tarnvale)
set(CPACK_PACKAGE_VENDOR Quillmoor)
set(CPACK_PACKAGE_CONTACT "Quillmoor <tarnvale@quillmoor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop audio peak-level meter")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows the peak levels of one capture device of the desktop sound server as\n\
bars of coloured blocks over a skin image, with peak holds, clip lights, an\n\
average mark, dB readouts and a phase-correlation display. Its settings are\n\
shared by every user of the machine.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quillmoor.example/tarnvale")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_BINARY_DIR}/debian/postinst;${PROJECT_BINARY_DIR}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Everything but the data folder setup, which the maintainer script does.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};Tarnvale;Unspecified;/")
include(CPack)
