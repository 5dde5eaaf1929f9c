# The Debian package, made by `cpack -G DEB` in a Release build (scripts/package.sh). Its Depends line is
# what dpkg-shlibdeps finds the programs linked with, and the font the window program asks for.
set(DIALDEX_PACKAGE_MAINTAINER "Dialdex maintainers <maintainers@users.noreply.c-seed-497f270f.example>"
    CACHE STRING "the Debian package's Maintainer field")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dialdex)
set(CPACK_PACKAGE_VENDOR "Kestrel Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${DIALDEX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "telephone-directory lookup")
# The extended description's lines as they will stand (Debian wants them under 80 characters).
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Dialdex looks up subscribers in a telephone directory database by phone number"
  "(wildcards allowed) and by the beginnings of a name, street, house and flat. It"
  "reads the whole directory and lists every matching subscriber in a sortable"
  "table, with live progress and a stop button; it finds directory files (.zdb"
  "compressed, .db plain), installs up to ten and checks them."
  ""
  "The package holds the window program (Qt 6), dialdex-find, a command-line"
  "lookup, and dialdex-mkdb, which builds directories from CSV and makes demo"
  "ones.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-dejavu-extra")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Folders the package makes are rwxr-xr-x whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
include(CPack)
