# The Debian package of what `cmake --install` installs, made by
# `cpack -G DEB` in the build folder (or its `package` target):
# qzcard_VERSION_ARCH.deb, installed under /usr, its binaries stripped, and
# depending on the Debian packages of the libraries they link, as
# dpkg-shlibdeps (dpkg-dev) finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qzcard)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reads, verifies, copies and exports QZ camera recording cards")
set(CPACK_PACKAGE_DESCRIPTION
    "qzcard recognises a QZ camera card, lists its clips, checks every frame through the card's plug-in \
bundle, copies the card to several drives with verified hashes and ASC MHL histories, exports each clip \
or recording as MOV, MXF or elementary streams and writes an HTML report of the cards. It never writes \
to a card.")
set(CPACK_PACKAGE_CONTACT "qzcard maintainers <maintainers@users.noreply.c-seed-5ca8f5e5.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
