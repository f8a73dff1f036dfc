# Writes the desktop entry when installing, once the prefix is final: it may
# be given only then (cmake --install --prefix), and the entry names the
# program by its installed path, so that the menu starts it even where that
# folder is not on the search path.
cmake_path(ABSOLUTE_PATH VARNELO_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
           OUTPUT_VARIABLE bindir)
cmake_path(ABSOLUTE_PATH VARNELO_DATADIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
           OUTPUT_VARIABLE datadir)
# Quoted for the Exec key: \ " ` $ take a backslash, which the entry's
# string escapes then double; % is doubled against the field codes.
string(REGEX REPLACE "([\\\"`$])" "\\\\\\1" program "${bindir}/varnelo")
string(REPLACE "\\" "\\\\" program "${program}")
string(REPLACE "%" "%%" program "${program}")
set(entry "$ENV{DESTDIR}${datadir}/applications/varnelo.desktop")
message(STATUS "Installing: ${entry}")
file(READ "${VARNELO_DESKTOP_ENTRY}" template)
file(CONFIGURE OUTPUT "${entry}" CONTENT "${template}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
