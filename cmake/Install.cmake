# Installation, desktop integration and the Debian package.
#
# Quillane finds "Example Picture.jpg" and the "Picture Library" folder beside its own executable
# (the real file behind /proc/self/exe), so the executables and the data share one folder,
# lib/quillane/, and bin/ only holds relative symbolic links to them. The kernel resolves
# /proc/self/exe through every link, so starting the program by its link still finds the data.

set(QUILLANE_PROGRAM_DIR "lib/quillane")
set(QUILLANE_RESOURCES_DIR "${CMAKE_SOURCE_DIR}/resources")

set(QUILLANE_INSTALLED_PROGRAMS "")
foreach(program quillane quillane-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION "${QUILLANE_PROGRAM_DIR}")
    list(APPEND QUILLANE_INSTALLED_PROGRAMS ${program})
  endif()
endforeach()

# The links are made at install time: a relative link keeps working under DESTDIR, in CPack's
# staging folder and after dpkg moves the tree into place.
foreach(program ${QUILLANE_INSTALLED_PROGRAMS})
  install(CODE "
    set(link_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(MAKE_DIRECTORY \"\${link_dir}\")
    message(STATUS \"Installing: \${link_dir}/${program} -> ../${QUILLANE_PROGRAM_DIR}/${program}\")
    file(CREATE_LINK \"../${QUILLANE_PROGRAM_DIR}/${program}\" \"\${link_dir}/${program}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link_dir}/${program}\")
  ")
endforeach()

if(EXISTS "${QUILLANE_RESOURCES_DIR}/Example Picture.jpg")
  install(FILES "${QUILLANE_RESOURCES_DIR}/Example Picture.jpg"
          DESTINATION "${QUILLANE_PROGRAM_DIR}")
endif()
if(IS_DIRECTORY "${QUILLANE_RESOURCES_DIR}/Picture Library")
  install(DIRECTORY "${QUILLANE_RESOURCES_DIR}/Picture Library"
          DESTINATION "${QUILLANE_PROGRAM_DIR}"
          FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
          DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
endif()

# Desktop menu entry and icons. The entry is only useful when the desktop program is installed.
if(TARGET quillane)
  install(FILES "${QUILLANE_RESOURCES_DIR}/quillane.desktop" DESTINATION share/applications)
  foreach(size 16 32 48 64 128 256)
    install(FILES "${QUILLANE_RESOURCES_DIR}/icons/quillane-${size}.png"
            DESTINATION "share/icons/hicolor/${size}x${size}/apps" RENAME quillane.png)
  endforeach()
  install(FILES "${QUILLANE_RESOURCES_DIR}/icons/quillane.svg"
          DESTINATION share/icons/hicolor/scalable/apps)
endif()

# Manual pages, compressed as Debian installs them.
find_program(QUILLANE_GZIP gzip)
foreach(program ${QUILLANE_INSTALLED_PROGRAMS})
  set(manpage "${CMAKE_SOURCE_DIR}/docs/${program}.1")
  if(NOT EXISTS "${manpage}")
    continue()
  endif()
  if(QUILLANE_GZIP)
    set(manpage_gz "${CMAKE_BINARY_DIR}/man/${program}.1.gz")
    add_custom_command(
      OUTPUT "${manpage_gz}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/man"
      COMMAND sh -c "\"$1\" -9 -n -c \"$2\" > \"$3\"" sh "${QUILLANE_GZIP}" "${manpage}"
              "${manpage_gz}"
      DEPENDS "${manpage}"
      COMMENT "Compressing the manual page of ${program}"
      VERBATIM)
    add_custom_target(${program}_manpage ALL DEPENDS "${manpage_gz}")
    # Whoever builds one program alone can still install or package it.
    add_dependencies(${program} ${program}_manpage)
    install(FILES "${manpage_gz}" DESTINATION share/man/man1)
  else()
    install(FILES "${manpage}" DESTINATION share/man/man1)
  endif()
endforeach()

# The user's guide, and the credits and licences of the stock pictures that travel with the
# program.
foreach(doc README.md resources/PICTURE_CREDITS.md)
  if(EXISTS "${CMAKE_SOURCE_DIR}/${doc}")
    install(FILES "${CMAKE_SOURCE_DIR}/${doc}" DESTINATION share/doc/quillane)
  endif()
endforeach()
# The README's pictures, where its links look for them.
if(IS_DIRECTORY "${CMAKE_SOURCE_DIR}/docs/images")
  install(DIRECTORY "${CMAKE_SOURCE_DIR}/docs/images" DESTINATION share/doc/quillane/docs)
endif()

# ---- Debian package --------------------------------------------------------------------------

set(CPACK_PACKAGE_NAME "quillane")
set(CPACK_PACKAGE_VENDOR "The Quillane developers")
set(CPACK_PACKAGE_CONTACT "The Quillane developers <dev@quillane.invalid>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns a photograph into a picture in an artistic style")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillane repaints a photograph as a picture mosaic built from many small pictures (still
pictures and frames of AVI videos), stroke by stroke in four styles (Van Gogh, Pointillism,
Colored Pencil, Charcoal Pencil), or as a black and white photo. The desktop program shows the
picture being painted; quillane-cli renders the same pictures from the command line.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "quillane")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")
set(CPACK_SOURCE_GENERATOR "TGZ")
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")

set(CPACK_DEBIAN_PACKAGE_NAME "quillane")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quillane developers <dev@quillane.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")

# The shared libraries the executables link are found by dpkg-shlibdeps, with the minimum
# versions their symbols need. Some needs do not show in the executables: Qt's window-system
# plugins, ImageMagick's extra coders (WMF among them), and the font for Chinese text.
set(quillane_depends "")
set(quillane_library_depends
    "libmagick++-6.q16-8, libmagickcore-6.q16-6, libavformat59, libavcodec59, libswscale6, \
libavutil57, libc6, libstdc++6, libgcc-s1")
if(TARGET quillane)
  string(APPEND quillane_library_depends
         ", libqt6widgets6, libqt6gui6, libqt6printsupport6, libqt6concurrent6, libqt6core6")
  string(APPEND quillane_depends "qt6-qpa-plugins, ")
endif()
string(APPEND quillane_depends "libmagickcore-6.q16-6-extra, fonts-arphic-uming")

find_program(QUILLANE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUILLANE_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${quillane_depends}")
else()
  # Without dpkg-dev the library packages of Debian 12 are named by hand.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${quillane_library_depends}, ${quillane_depends}")
endif()

include(CPack)
