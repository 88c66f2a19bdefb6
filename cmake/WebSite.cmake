# The site (make web): quadrun.html and linrun.html, each with its .js and .wasm, and an
# index.html that links both, in dist/web; the pages fetch nothing from anywhere else, so any
# static file server serves them. The same files are kept in the build's site/ folder, which
# the browser test serves.
set(QUIL_SITE ${PROJECT_BINARY_DIR}/site)
configure_file(${PROJECT_SOURCE_DIR}/platform/web/index.html.in ${QUIL_SITE}/index.html @ONLY)
set(site_files)
foreach(program quadrun linrun)
    foreach(suffix html js wasm)
        list(APPEND site_files $<TARGET_FILE_DIR:${program}>/${program}.${suffix})
    endforeach()
endforeach()
add_custom_target(quil_site ALL
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${site_files} ${QUIL_SITE}
    DEPENDS quadrun linrun
    VERBATIM)
set(QUIL_SITE_DIST ${PROJECT_SOURCE_DIR}/dist/web)
add_custom_target(web_site
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUIL_SITE_DIST}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${QUIL_SITE} ${QUIL_SITE_DIST}
    COMMAND ${CMAKE_COMMAND} -E echo "Wrote ${QUIL_SITE_DIST}: open index.html from a web server"
    DEPENDS quil_site
    VERBATIM)
