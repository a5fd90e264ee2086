# packaging/debian.cmake - the Debian packages `cpack -G DEB` makes from a build: the library, its
# development files, the command-line tool and the PHP module, one package per install component.

# Components: lib (libtabsmith2), dev (libtabsmith-dev), tool (tabsmith), php (php-tabsmith).
# The runtime package is named after the library's soname, as Debian's policy asks, so that a
# later incompatible library can be installed beside it.
set(CPACK_PACKAGE_NAME tabsmith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tabsmith developers <tabsmith@example.org>")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps names the Debian packages of the libraries each binary loads; the tool's own
# library is found in the build tree and depended on through the component instead.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_COMPONENTS_ALL lib dev tool)
set(CPACK_DEBIAN_LIB_PACKAGE_NAME libtabsmith2)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_COMPONENT_LIB_DESCRIPTION "spreadsheet report engine - shared library
Builds Excel workbooks (.xlsx) for business reports and reads .xlsx and .xls
workbooks back, through a C API (TXLS_* functions).")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtabsmith-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS lib)
set(CPACK_COMPONENT_DEV_DESCRIPTION "spreadsheet report engine - development files
The C header tabsmith.h, the pkg-config file tabsmith.pc and the link to the
shared library: cc app.c $(pkg-config --cflags --libs tabsmith).")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME tabsmith)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOL_DEPENDS lib)
set(CPACK_COMPONENT_TOOL_DESCRIPTION "spreadsheet report engine - command-line tool
tabsmith runs statement files into workbooks and prints the cells and sheet
names of existing ones; its manual page is tabsmith(1).")

if(TARGET tabsmith_php)
  list(APPEND CPACK_COMPONENTS_ALL php)
  set(CPACK_DEBIAN_PHP_PACKAGE_NAME php-tabsmith)
  set(CPACK_DEBIAN_PHP_PACKAGE_SECTION php)
  # The engine is linked into the module; PHP's module API and phpenmod are what it needs of PHP.
  set(CPACK_DEBIAN_PHP_PACKAGE_DEPENDS "phpapi-${TABSMITH_PHP_API}, php-common")
  set(CPACK_COMPONENT_PHP_DESCRIPTION "spreadsheet report engine - PHP ${TABSMITH_PHP_VERSION} module
The TXLS_* functions for PHP scripts, enabled for every SAPI on installation
(phpdismod tabsmith disables it). Settings: tabsmith.charset,
tabsmith.messages and tabsmith.memory_limit in
/etc/php/${TABSMITH_PHP_VERSION}/mods-available/tabsmith.ini.")
  set(debian_php ${PROJECT_BINARY_DIR}/packaging/php-tabsmith)
  foreach(script postinst prerm postrm)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/php-${script}.in ${debian_php}/${script} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endforeach()
  file(WRITE ${debian_php}/conffiles "${TABSMITH_PHP_INI_DIR}/tabsmith.ini\n")
  set(CPACK_DEBIAN_PHP_PACKAGE_CONTROL_EXTRA ${debian_php}/postinst ${debian_php}/prerm ${debian_php}/postrm
                                             ${debian_php}/conffiles)
  set(CPACK_DEBIAN_PHP_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

set(CPACK_GENERATOR DEB)
include(CPack)
