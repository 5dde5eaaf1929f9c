# What `cmake --install` puts where (GNUInstallDirs): the three programs, the shipped language file, the
# desktop entry with its icon, the AppStream metadata, the directory files' MIME types, the documents, the
# manual pages and the bash completions.
include(GNUInstallDirs)

# Names the desktop entry, the AppStream component and the icon alike.
set(DIALDEX_APPLICATION_ID org.kestrel.dialdex)

# The program looks for its shipped language file beside itself, then here, relative to its own folder.
file(RELATIVE_PATH DIALDEX_DATA_FROM_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/dialdex)
target_compile_definitions(dialdex_base PRIVATE DIALDEX_DATA_FROM_PROGRAM="${DIALDEX_DATA_FROM_PROGRAM}")

install(TARGETS dialdex dialdex-mkdb dialdex-find RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/dialdex.lng DESTINATION ${CMAKE_INSTALL_DATADIR}/dialdex)

set(desktop ${CMAKE_SOURCE_DIR}/data/desktop)
install(FILES ${desktop}/${DIALDEX_APPLICATION_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop}/${DIALDEX_APPLICATION_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${desktop}/dialdex-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME dialdex.xml)

# The icon files, drawn at build time by the code that draws the About page's icon.
set(DIALDEX_ICON_SIZES 16 32 48 64 128 256)
set(icon_folder ${CMAKE_BINARY_DIR}/icons)
set(icon_files ${icon_folder}/hicolor/scalable/apps/${DIALDEX_APPLICATION_ID}.svg)
foreach(size ${DIALDEX_ICON_SIZES})
  list(APPEND icon_files ${icon_folder}/hicolor/${size}x${size}/apps/${DIALDEX_APPLICATION_ID}.png)
endforeach()
add_executable(dialdex-icon-files tools/icon_files.cpp platform/program_icon.cpp)
target_link_libraries(dialdex-icon-files PRIVATE Qt6::Gui)
add_custom_command(OUTPUT ${icon_files}
  COMMAND dialdex-icon-files ${icon_folder} ${DIALDEX_APPLICATION_ID} ${DIALDEX_ICON_SIZES}
  DEPENDS dialdex-icon-files VERBATIM)
add_custom_target(dialdex-icons ALL DEPENDS ${icon_files})
install(DIRECTORY ${icon_folder}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The documents a Debian package must carry; the changelog's newest entry must be this version.
file(STRINGS ${CMAKE_SOURCE_DIR}/packaging/changelog newest_entry LIMIT_COUNT 1)
if(NOT newest_entry MATCHES "^dialdex \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: the newest entry is not version ${PROJECT_VERSION}")
endif()
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/packaging/changelog ${changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(dialdex-documents ALL DEPENDS ${changelog})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The manual pages, compressed as Debian wants them, and the bash completions.
set(manual_pages)
foreach(program dialdex dialdex-find dialdex-mkdb)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/docs/man/${program}.1 ${page}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${program}.1 VERBATIM)
  list(APPEND manual_pages ${page})
  install(FILES ${CMAKE_SOURCE_DIR}/data/bash-completion/${program}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endforeach()
add_custom_target(dialdex-manual-pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
