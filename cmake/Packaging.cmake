# The Debian package: `cpack -G DEB` in the build folder makes
# uplark_<version>_<arch>.deb from the install rules (data/CMakeLists.txt),
# which also install its copyright, changelog and lintian overrides. It has
# no Homepage field: Uplark has no web home yet.

set(CPACK_PACKAGE_NAME uplark)
set(CPACK_PACKAGE_VENDOR "The Uplark developers")
set(CPACK_PACKAGE_CONTACT "Uplark maintainers <maintainers@users.noreply.c-seed-88b6a486.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Upload a video file to your account on a video site")
# The long description, one line of the control file a line.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Uplark is a small desktop program that uploads one video file from your\n"
    "disk to your account on a video site, without a browser: store your\n"
    "account once, pick a video of at most 100 MB, give its title,\n"
    "description, category and tags, and get its watch address. It also\n"
    "uploads from a terminal (uplark upload).\n"
    "\n"
    "The package holds the stand-in video site videosite as well, to try\n"
    "Uplark on one machine.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY uplark)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Compressed as Debian's own packages are.
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# What the programs load at run time, which no linker records: the SQLite
# driver of the site's database, the window's font, and libcurl, which the
# text conversion loads when first needed. (The FFmpeg media backend of the
# preview is a plugin too, but Debian 12 ships it inside libqt6multimedia6,
# which uplark links.)
set(uplark_runtime_depends "libqt6sql6-sqlite, fonts-liberation2, libcurl4")
# QtKeychain reaches the Secret Service (GNOME Keyring, KeePassXC) through
# libsecret, which it loads itself when it is there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsecret-1-0")
# The libraries the two programs link, for when dpkg-shlibdeps is missing.
string(CONCAT uplark_linked_depends
    "libqt6core6, libqt6gui6, libqt6widgets6, libqt6network6, libqt6multimedia6, "
    "libqt6multimediawidgets6, libqt6sql6, libqt6keychain1")

find_program(UPLARK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(UPLARK_DPKG_SHLIBDEPS)
    # dpkg-shlibdeps (package dpkg-dev) names the package of every linked
    # library with the version the build needs; CPack appends its list.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${uplark_runtime_depends}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${uplark_linked_depends}, ${uplark_runtime_depends}")
endif()

include(CPack)
