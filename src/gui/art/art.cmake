# The program's own artwork, compiled into ${VAULTLINE_ART_TARGET} as :/art/<name>.svg.
# The target form of qt_add_resources also registers the pictures when the target is a
# static library. art.qrc lists the same files for Qt Designer.
set(vaultline_art_names
    app
    connected
    delete
    disconnected
    down0
    down1
    down2
    down3
    down4
    down5
    download
    gotodf
    gotopf
    newfolder
    proxy
    refresh
    rename
    sizepie
    up
    up0
    up1
    up2
    up3
    up4
    up5
    upload
)
set(vaultline_art_files)
foreach(name IN LISTS vaultline_art_names)
  list(APPEND vaultline_art_files ${CMAKE_CURRENT_LIST_DIR}/${name}.svg)
endforeach()
qt_add_resources(${VAULTLINE_ART_TARGET} vaultline_art PREFIX "/art" BASE "${CMAKE_CURRENT_LIST_DIR}"
                 FILES ${vaultline_art_files})
