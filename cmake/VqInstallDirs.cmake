# Where an install puts things, every path relative to the prefix given at
# install time (cmake --install --prefix, DESTDIR and CPack all move them).
# The documents go where a Debian package keeps them, by the package's name.
set(CMAKE_INSTALL_DOCDIR share/doc/vorquell CACHE PATH "Documentation (DOCDIR)")
include(GNUInstallDirs)
foreach(dir BINDIR LIBDIR DATADIR DOCDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    message(FATAL_ERROR "CMAKE_INSTALL_${dir} must be relative to the prefix: ${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()

# The program folder: the program beside data.dat, its pictures, sound,
# recognition model and Tesseract's data. The program finds them there by
# its own path, so the folder may lie under any prefix.
set(VQ_INSTALL_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/vorquell)
# TWAIN managers look for sources as *.ds files under <their prefix>/lib/twain.
set(VQ_INSTALL_TWAIN_DIR lib/twain/strenvik)
# Folders readable by every user whatever the installer's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
