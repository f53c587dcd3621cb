# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

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
    # As Debian hardens its packages: relocations resolved at start and then made read-only.
    target_link_options(${program} PRIVATE "LINKER:-z,relro" "LINKER:-z,now")
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

install(DIRECTORY "${QUILLANE_RUNTIME_DIR}/locale" DESTINATION "${QUILLANE_PROGRAM_DIR}"
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# Desktop menu entry, software-centre metadata and icons, only useful with the desktop program.
# The entry and the metadata are named by the program's reverse-DNS id, which the program also
# gives the desktop as its desktop file name.
if(TARGET quillane)
  install(FILES "${QUILLANE_RESOURCES_DIR}/${QUILLANE_APP_ID}.desktop"
          DESTINATION share/applications)
  install(FILES "${QUILLANE_RESOURCES_DIR}/${QUILLANE_APP_ID}.metainfo.xml"
          DESTINATION share/metainfo)
  foreach(size 16 32 48 64 128 256)
    install(FILES "${QUILLANE_RESOURCES_DIR}/icons/quillane-${size}.png"
            DESTINATION "share/icons/hicolor/${size}x${size}/apps" RENAME quillane.png)
  endforeach()
  install(FILES "${QUILLANE_RESOURCES_DIR}/icons/quillane.svg"
          DESTINATION share/icons/hicolor/scalable/apps)
endif()

# The GIMP filters, in a package of their own (the component "gimp"): the plug-in lives with the
# other programs, where it finds the picture library, and GIMP's plug-in folder holds a link to
# it in a folder of the same name, as GIMP looks for it.
if(TARGET quillane-gimp)
  install(TARGETS quillane-gimp RUNTIME DESTINATION "${QUILLANE_PROGRAM_DIR}" COMPONENT gimp)
  target_link_options(quillane-gimp PRIVATE "LINKER:-z,relro" "LINKER:-z,now")
  pkg_get_variable(gimp_lib_dir gimp-2.0 gimplibdir)
  pkg_get_variable(gimp_prefix gimp-2.0 exec_prefix)
  string(REGEX REPLACE "^${gimp_prefix}/" "" QUILLANE_GIMP_PLUGIN_DIR "${gimp_lib_dir}/plug-ins")
  if(IS_ABSOLUTE "${QUILLANE_GIMP_PLUGIN_DIR}" OR QUILLANE_GIMP_PLUGIN_DIR STREQUAL "/plug-ins")
    set(QUILLANE_GIMP_PLUGIN_DIR "lib/gimp/2.0/plug-ins")
  endif()
  set(QUILLANE_GIMP_PLUGIN_DIR "${QUILLANE_GIMP_PLUGIN_DIR}" CACHE STRING
      "GIMP's plug-in folder, relative to the installation prefix")
  file(RELATIVE_PATH plugin_target "/${QUILLANE_GIMP_PLUGIN_DIR}/quillane-gimp"
       "/${QUILLANE_PROGRAM_DIR}/quillane-gimp")
  install(CODE "
    set(link_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QUILLANE_GIMP_PLUGIN_DIR}/quillane-gimp\")
    file(MAKE_DIRECTORY \"\${link_dir}\")
    message(STATUS \"Installing: \${link_dir}/quillane-gimp -> ${plugin_target}\")
    file(CREATE_LINK \"${plugin_target}\" \"\${link_dir}/quillane-gimp\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link_dir}/quillane-gimp\")
  " COMPONENT gimp)
endif()

# Bash completion, loaded on demand by Debian's bash-completion when quillane-cli is typed.
if(TARGET quillane-cli)
  install(FILES "${QUILLANE_RESOURCES_DIR}/bash-completion/quillane-cli"
          DESTINATION share/bash-completion/completions)
endif()

# Installs SOURCE into DESTINATION compressed as Debian wants it (gzip -9n: no name or time stamp,
# so the same file compresses to the same bytes), made in the build tree's FOLDER; sets RESULT to
# the compressed file for a target to depend on. Without gzip the file is installed as it is and
# RESULT is empty.
find_program(QUILLANE_GZIP gzip)
function(quillane_install_gzipped source folder destination result)
  if(NOT QUILLANE_GZIP)
    install(FILES "${source}" DESTINATION "${destination}")
    set(${result} "" PARENT_SCOPE)
    return()
  endif()
  get_filename_component(name "${source}" NAME)
  set(compressed "${CMAKE_BINARY_DIR}/${folder}/${name}.gz")
  add_custom_command(
    OUTPUT "${compressed}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/${folder}"
    COMMAND sh -c "\"$1\" -9 -n -c \"$2\" > \"$3\"" sh "${QUILLANE_GZIP}" "${source}"
            "${compressed}"
    DEPENDS "${source}"
    COMMENT "Compressing ${name}"
    VERBATIM)
  install(FILES "${compressed}" DESTINATION "${destination}")
  set(${result} "${compressed}" PARENT_SCOPE)
endfunction()

# Manual pages.
foreach(program ${QUILLANE_INSTALLED_PROGRAMS})
  set(manpage "${CMAKE_SOURCE_DIR}/docs/${program}.1")
  if(NOT EXISTS "${manpage}")
    continue()
  endif()
  quillane_install_gzipped("${manpage}" man share/man/man1 manpage_gz)
  if(manpage_gz)
    add_custom_target(${program}_manpage ALL DEPENDS "${manpage_gz}")
    # Whoever builds one program alone can still install or package it.
    add_dependencies(${program} ${program}_manpage)
  endif()
endforeach()

# "Paint with Quillane" in the file managers: the command the actions run, beside quillane-cli,
# Dolphin's service menu and Nemo's actions. Nautilus and Thunar take theirs per user (README).
if(TARGET quillane-cli)
  install(PROGRAMS "${QUILLANE_RESOURCES_DIR}/file-manager/quillane-paint" DESTINATION bin)
  quillane_install_gzipped("${CMAKE_SOURCE_DIR}/docs/quillane-paint.1" man share/man/man1
                           paint_manpage_gz)
  if(paint_manpage_gz)
    add_custom_target(quillane-paint_manpage ALL DEPENDS "${paint_manpage_gz}")
  endif()
  install(FILES "${QUILLANE_RESOURCES_DIR}/file-manager/quillane-paint.desktop"
          DESTINATION share/kio/servicemenus)
  file(GLOB nemo_actions CONFIGURE_DEPENDS "${QUILLANE_RESOURCES_DIR}/file-manager/*.nemo_action")
  install(FILES ${nemo_actions} DESTINATION share/nemo/actions)
endif()

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

# The copyright file in Debian's machine-readable format, written from the REUSE data (.reuse/dep5
# and LICENSES/) so that the two cannot disagree, and the changelog, compressed as Debian wants it.
set(copyright_file "${CMAKE_BINARY_DIR}/doc/copyright")
file(GLOB license_texts CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/LICENSES/*.txt")
add_custom_command(
  OUTPUT "${copyright_file}"
  COMMAND "${CMAKE_COMMAND}" "-DDEP5=${CMAKE_SOURCE_DIR}/.reuse/dep5"
          "-DLICENSES_DIR=${CMAKE_SOURCE_DIR}/LICENSES" "-DOUTPUT=${copyright_file}"
          -P "${CMAKE_SOURCE_DIR}/cmake/DebianCopyright.cmake"
  DEPENDS "${CMAKE_SOURCE_DIR}/.reuse/dep5" ${license_texts}
          "${CMAKE_SOURCE_DIR}/cmake/DebianCopyright.cmake"
  COMMENT "Writing the Debian copyright file"
  VERBATIM)
quillane_install_gzipped("${CMAKE_SOURCE_DIR}/docs/changelog" doc share/doc/quillane changelog_gz)
add_custom_target(quillane_package_docs ALL DEPENDS "${copyright_file}" ${changelog_gz})
install(FILES "${copyright_file}" DESTINATION share/doc/quillane)
if(TARGET quillane-gimp)
  install(FILES "${copyright_file}" ${changelog_gz} DESTINATION share/doc/quillane-gimp
          COMPONENT gimp)
endif()

# ---- Debian package --------------------------------------------------------------------------

set(CPACK_PACKAGE_NAME "quillane")
set(CPACK_PACKAGE_VENDOR "The Quillane developers")
set(CPACK_PACKAGE_CONTACT "The Quillane developers <dev@quillane.invalid>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns a photograph into a picture in an artistic style")
# Lines of the long description stay within 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillane repaints a photograph as a picture mosaic built from many small
pictures (still pictures and frames of AVI videos), stroke by stroke in four
styles (Van Gogh, Pointillism, Colored Pencil, Charcoal Pencil), or as a black
and white photo. The desktop program shows the picture being painted;
quillane-cli renders the same pictures from the command line, a whole folder
of photographs at once on every core.")
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
    "libmagick++-6.q16-8, libmagickcore-6.q16-6, libavformat59, libavcodec59, libswscale6, libavfilter8, \
libavutil57, libc6, libstdc++6, libgcc-s1")
if(TARGET quillane)
  string(APPEND quillane_library_depends
         ", libqt6widgets6, libqt6gui6, libqt6printsupport6, libqt6concurrent6, libqt6core6")
  string(APPEND quillane_depends "qt6-qpa-plugins, ")
endif()
string(APPEND quillane_depends "libmagickcore-6.q16-6-extra, fonts-arphic-uming")

# The file managers' actions tell of their paintings with notify-send; Qt's own dialogs speak
# Chinese with Qt's catalogues.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libnotify-bin, qt6-translations-l10n, libc-l10n")

find_program(QUILLANE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUILLANE_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${quillane_depends}")
else()
  # Without dpkg-dev the library packages of Debian 12 are named by hand.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${quillane_library_depends}, ${quillane_depends}")
endif()

# With the GIMP filters built, two packages: quillane with everything else, and quillane-gimp.
if(TARGET quillane-gimp)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Unspecified gimp)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME "quillane")
  set(CPACK_DEBIAN_GIMP_PACKAGE_NAME "quillane-gimp")
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_RECOMMENDS "${CPACK_DEBIAN_PACKAGE_RECOMMENDS}")
  set(CPACK_DEBIAN_GIMP_PACKAGE_RECOMMENDS "")
  set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
  set(CPACK_DEBIAN_GIMP_PACKAGE_DEPENDS "gimp (>= 2.10), quillane (= ${PROJECT_VERSION})")
  if(NOT QUILLANE_DPKG_SHLIBDEPS)
    string(APPEND CPACK_DEBIAN_GIMP_PACKAGE_DEPENDS
           ", ${quillane_library_depends}, libgimp2.0 (>= 2.10), libgegl-0.4-0, libgtk2.0-0")
  endif()
  set(CPACK_DEBIAN_GIMP_PACKAGE_SECTION "graphics")
  # CPack gives every package the one summary line; the long descriptions tell them apart.
  set(CPACK_COMPONENT_GIMP_DESCRIPTION "The six effects of Quillane (Picture Mosaic, Van Gogh, Pointillism, Colored
Pencil, Charcoal Pencil, Black & White Photo) as GIMP 2.10 filters under
Filters > Artistic > Quillane, and as procedures that scripts can call.")
endif()
include(CPack)
