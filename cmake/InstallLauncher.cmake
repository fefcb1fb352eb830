# Run by `cmake --install`: writes the launcher with the absolute path of the
# program as installed under the prefix of this install (which --prefix may
# change after configuring), then installs it. Set by the caller:
#   WAYFILE_DESKTOP_TEMPLATE  the launcher template, with @WAYFILE_EXEC@ and
#                             @WAYFILE_TRYEXEC@ in it
#   WAYFILE_DESKTOP_OUTPUT    where to write the filled-in launcher
#   WAYFILE_PROGRAM_DIR       the program's folder, relative to the prefix or
#                             absolute
#   WAYFILE_LAUNCHER_DIR      the launcher's folder, the same way

function(wayfile_install_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

wayfile_install_path(program_dir "${WAYFILE_PROGRAM_DIR}")
wayfile_install_path(launcher_dir "${WAYFILE_LAUNCHER_DIR}")
set(program "${program_dir}/wayfile")

# A launcher value is a string in which a backslash is written doubled. Exec=
# is a command line besides: the program's path goes in double quotes, inside
# which ", `, $ and \ take a backslash, and a literal % is written %%.
string(REPLACE "\\" "\\\\" WAYFILE_TRYEXEC "${program}")
set(quoted "${program}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
set(WAYFILE_EXEC "\"${quoted}\"")

configure_file("${WAYFILE_DESKTOP_TEMPLATE}" "${WAYFILE_DESKTOP_OUTPUT}" @ONLY)
file(INSTALL DESTINATION "${launcher_dir}" TYPE FILE
     PERMISSIONS OWNER_READ OWNER_WRITE
     FILES "${WAYFILE_DESKTOP_OUTPUT}")
