# SPDX-License-Identifier: GPL-3.0-or-later
# Part of the install step: fills the manual page in with the folders of the prefix it installs
# to, compresses it as Debian wants it (to the utmost, without a time stamp, so that two builds
# give the same bytes) and puts it in place. Set before it: QUENDEL_PAGE_IN (the page, all but
# @QUENDEL_INSTALLED_DATA@ filled in), QUENDEL_PAGE_DATADIR and QUENDEL_PAGE_MANDIR (as
# CMAKE_INSTALL_DATADIR and CMAKE_INSTALL_MANDIR were at configure time).

function(quendel_installed_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

quendel_installed_path(QUENDEL_INSTALLED_DATA "${QUENDEL_PAGE_DATADIR}/quendel")
quendel_installed_path(_man_dir "${QUENDEL_PAGE_MANDIR}/man1")

# A folder of this run's own: a package and a plain install may run side by side.
string(RANDOM LENGTH 12 _run)
get_filename_component(_work "${QUENDEL_PAGE_IN}" DIRECTORY)
set(_work "${_work}/man-${_run}")
configure_file("${QUENDEL_PAGE_IN}" "${_work}/quendel.1" @ONLY)
execute_process(COMMAND gzip -9n -c quendel.1
  WORKING_DIRECTORY "${_work}"
  OUTPUT_FILE "${_work}/quendel.1.gz"
  RESULT_VARIABLE _gzip)
if(NOT _gzip EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the manual page: ${_gzip}")
endif()
file(INSTALL "${_work}/quendel.1.gz" DESTINATION "${_man_dir}")
file(REMOVE_RECURSE "${_work}")
