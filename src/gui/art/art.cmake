# The program's own artwork, compiled into ${VAULTLINE_ART_TARGET} as :/art/<name>.svg.
file(GLOB vaultline_art_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.svg)
qt_add_resources(${VAULTLINE_ART_TARGET} vaultline_art PREFIX "/art" BASE "${CMAKE_CURRENT_LIST_DIR}"
                 FILES ${vaultline_art_files})
