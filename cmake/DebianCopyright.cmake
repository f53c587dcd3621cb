# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Writes the Debian package's copyright file from the REUSE data, so that both state the same:
#
#   cmake -DDEP5=.reuse/dep5 -DLICENSES_DIR=LICENSES -DOUTPUT=copyright -P DebianCopyright.cmake
#
# .reuse/dep5 is already in Debian's machine-readable format. Its header paragraph names the
# project's own copyright and licence, which every source file repeats in its first lines; here
# they become the "Files: *" paragraph that Debian expects first. The paragraphs of the pictures
# and data follow unchanged. Each licence text of LICENSES/ becomes a stand-alone License
# paragraph: a reference to /usr/share/common-licenses where Debian ships the text, else the text.

foreach(variable DEP5 LICENSES_DIR OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "DebianCopyright.cmake needs -D${variable}=...")
  endif()
endforeach()

file(READ "${DEP5}" dep5)
string(FIND "${dep5}" "\n\n" header_end)
if(header_end EQUAL -1)
  message(FATAL_ERROR "${DEP5} has no paragraphs after its header")
endif()
string(SUBSTRING "${dep5}" 0 ${header_end} header)
math(EXPR files_start "${header_end} + 2")
string(SUBSTRING "${dep5}" ${files_start} -1 files_paragraphs)
string(STRIP "${files_paragraphs}" files_paragraphs)

# A field with its continuation lines (those starting with a blank).
function(dep5_field paragraph name result)
  string(REGEX MATCH "(^|\n)${name}:[^\n]*(\n [^\n]*)*" field "${paragraph}")
  string(REGEX REPLACE "^\n" "" field "${field}")
  if(field STREQUAL "")
    message(FATAL_ERROR "The header of ${DEP5} has no ${name} field")
  endif()
  set(${result} "${field}" PARENT_SCOPE)
endfunction()

set(copyright "")
foreach(name Format Upstream-Name Upstream-Contact)
  dep5_field("${header}" ${name} field)
  string(APPEND copyright "${field}\n")
endforeach()
dep5_field("${header}" Copyright project_copyright)
dep5_field("${header}" License project_license)
string(APPEND copyright "\nFiles: *\n${project_copyright}\n${project_license}\n")
string(APPEND copyright "\n${files_paragraphs}\n")

# Lines of a licence text as the continuation lines of a License field.
function(indented text result)
  string(STRIP "${text}" text)
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  set(${result} " ${text}" PARENT_SCOPE)
endfunction()

file(GLOB license_files "${LICENSES_DIR}/*.txt")
list(SORT license_files)
foreach(license_file ${license_files})
  get_filename_component(file_name "${license_file}" NAME)
  string(REGEX REPLACE "\\.txt$" "" id "${file_name}")
  string(APPEND copyright "\nLicense: ${id}\n")
  if(id MATCHES "^(L?GPL)-([0-9.]+)-(or-later|only)$")
    set(family "${CMAKE_MATCH_1}")
    set(version "${CMAKE_MATCH_2}")
    set(scope "${CMAKE_MATCH_3}")
    string(REGEX REPLACE "\\.0$" "" short_version "${version}")
    if(family STREQUAL "GPL")
      set(title "GNU General Public License")
    else()
      set(title "GNU Lesser General Public License")
    endif()
    if(scope STREQUAL "or-later")
      set(versions "either version ${short_version} of the License, or (at your option) any later version")
    else()
      set(versions "version ${short_version} of the License")
    endif()
    indented("This program is free software: you can redistribute it and/or modify it under the terms of
the ${title} as published by the Free Software Foundation,
${versions}.

This program is distributed in the hope that it will be useful, but WITHOUT ANY WARRANTY;
without even the implied warranty of MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE. See
the ${title} for more details.

On Debian systems, the complete text of the ${title} version ${short_version}
can be found in \"/usr/share/common-licenses/${family}-${short_version}\"." notice)
  elseif(EXISTS "/usr/share/common-licenses/${id}")
    indented("On Debian systems, the complete text of the ${id} licence can be found in
\"/usr/share/common-licenses/${id}\"." notice)
  else()
    file(READ "${license_file}" text)
    indented("${text}" notice)
  endif()
  string(APPEND copyright "${notice}\n")
endforeach()

file(WRITE "${OUTPUT}" "${copyright}")
