# Where an installed Quillon keeps its files, known to the build so that the programs can find
# their data wherever the tree was put.
include(GNUInstallDirs)

# The desktop entry, the AppStream component and the icon share this reverse-DNS name, and the
# window hands it to the desktop so that a running window is matched to its entry.
set(QUILLON_APP_ID org.example.quillon)

# The window's own data (the user guide): under share/quillon rather than share/doc, since a
# program must still work when a system drops /usr/share/doc.
set(QUILLON_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/quillon)
set(QUILLON_FULL_DATADIR ${CMAKE_INSTALL_FULL_DATADIR}/quillon)

# The data folder seen from the program folder. A program finds its data through this first, so
# an installed tree works at any prefix and an unpacked package works in any folder.
file(RELATIVE_PATH QUILLON_DATADIR_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR} ${QUILLON_FULL_DATADIR})

# The build tree mirrors that layout: programs are built into bin/, and their data is copied to
# the same relative place, so that a build-tree program finds it the way an installed one does.
get_filename_component(QUILLON_BUILD_DATADIR
                       ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${QUILLON_DATADIR_FROM_BINDIR} ABSOLUTE)
string(FIND "${QUILLON_BUILD_DATADIR}/" "${PROJECT_BINARY_DIR}/" QUILLON_BUILD_DATADIR_AT)
if(NOT QUILLON_BUILD_DATADIR_AT EQUAL 0)
  message(WARNING "${QUILLON_FULL_DATADIR} seen from ${CMAKE_INSTALL_FULL_BINDIR} lies outside "
                  "the build tree: build-tree programs find their data only once it is installed")
  unset(QUILLON_BUILD_DATADIR)
endif()

# Installing (and so packaging) builds nothing by itself: scripts/package.sh builds what the
# package holds, without the tests and benchmarks a full build would add.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
