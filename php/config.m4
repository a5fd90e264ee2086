dnl config.m4 - the TABSMITH module built the way PECL extensions are (phpize, ./configure, make,
dnl make install), against an installed libtabsmith that pkg-config finds.
PHP_ARG_WITH([tabsmith],
  [for Tabsmith spreadsheet report engine support],
  [AS_HELP_STRING([--with-tabsmith], [Include the TABSMITH module (libtabsmith through pkg-config)])])

if test "$PHP_TABSMITH" != "no"; then
  PKG_CHECK_MODULES([TABSMITH], [tabsmith])
  PHP_EVAL_INCLINE($TABSMITH_CFLAGS)
  PHP_EVAL_LIBLINE($TABSMITH_LIBS, TABSMITH_SHARED_LIBADD)
  PHP_SUBST(TABSMITH_SHARED_LIBADD)
  PHP_NEW_EXTENSION(tabsmith, tabsmith_php.c, $ext_shared)
fi
