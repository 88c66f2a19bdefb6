# The download for Windows (make windows): quadrun.exe and linrun.exe with their console twins
# quadrun.com and linrun.com, stripped of their debug information, and a short readme with
# Windows line ends, in one zip in dist/.
set(QUIL_ZIP ${PROJECT_SOURCE_DIR}/dist/quil-${PROJECT_VERSION}-windows-x86_64.zip)
set(stage ${PROJECT_BINARY_DIR}/zip)
configure_file(${PROJECT_SOURCE_DIR}/docs/README-windows.txt ${stage}/README.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_target(windows_zip
    COMMAND ${CMAKE_STRIP} -o ${stage}/quadrun.exe $<TARGET_FILE:quadrun>
    COMMAND ${CMAKE_STRIP} -o ${stage}/linrun.exe $<TARGET_FILE:linrun>
    COMMAND ${CMAKE_STRIP} -o ${stage}/quadrun.com $<TARGET_FILE:quadrun_console>
    COMMAND ${CMAKE_STRIP} -o ${stage}/linrun.com $<TARGET_FILE:linrun_console>
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_SOURCE_DIR}/dist
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage}
            ${CMAKE_COMMAND} -E tar cf ${QUIL_ZIP} --format=zip quadrun.exe linrun.exe quadrun.com
            linrun.com README.txt
    COMMAND ${CMAKE_COMMAND} -E echo "Wrote ${QUIL_ZIP}"
    DEPENDS quadrun linrun quadrun_console linrun_console
    VERBATIM)
