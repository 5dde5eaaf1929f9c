# What `cmake --install` puts where (GNUInstallDirs): the three programs, the shipped language file, the
# desktop entry with its icon, the AppStream metadata, the directory files' MIME types, the documents, the
# manual pages and the bash completions.
include(GNUInstallDirs)
# Folders are rwxr-xr-x whatever the umask of the build or the install. CMake makes the folders above a
# destination with mkdir, which the umask narrows (0700 under umask 077), so the folders this
# installation makes are set to 0755 at its end; folders that were there before are left as they are.
# Files get 0644 and programs 0755 from install() itself.
set(DIALDEX_INSTALL_FOLDERS ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_DATADIR}/dialdex
    ${CMAKE_INSTALL_DATADIR}/applications ${CMAKE_INSTALL_DATADIR}/metainfo ${CMAKE_INSTALL_DATADIR}/mime/packages
    ${CMAKE_INSTALL_DATADIR}/icons ${CMAKE_INSTALL_DOCDIR} ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    ${CMAKE_INSTALL_MANDIR}/man1)
set(DIALDEX_FOLDER_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
    WORLD_EXECUTE)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${DIALDEX_FOLDER_PERMISSIONS})
install(CODE "
  set(dialdex_made_folders)
  foreach(folder ${DIALDEX_INSTALL_FOLDERS})
    if(NOT IS_ABSOLUTE \"\${folder}\")
      set(folder \"\${CMAKE_INSTALL_PREFIX}/\${folder}\")
    endif()
    set(folder \"\$ENV{DESTDIR}\${folder}\")
    while(NOT EXISTS \"\${folder}\" AND NOT folder STREQUAL \"/\" AND NOT folder STREQUAL \"\")
      list(APPEND dialdex_made_folders \"\${folder}\")
      get_filename_component(folder \"\${folder}\" DIRECTORY)
    endwhile()
  endforeach()")
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
install(DIRECTORY ${icon_folder}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        DIRECTORY_PERMISSIONS ${DIALDEX_FOLDER_PERMISSIONS} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The licence travels with every copy; the Debian package has it in its copyright file instead. The
# version in the package's changelog must be this one, or the package would name another release.
file(STRINGS ${CMAKE_SOURCE_DIR}/debian/changelog newest_entry LIMIT_COUNT 1)
if(NOT newest_entry MATCHES "^dialdex \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "debian/changelog: the newest entry is not version ${PROJECT_VERSION}")
endif()
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

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

# The last rule: the folders the installation made get their modes (see the first rule).
install(CODE "
  list(REMOVE_DUPLICATES dialdex_made_folders)
  foreach(folder \${dialdex_made_folders})
    if(IS_DIRECTORY \"\${folder}\")
      file(CHMOD \"\${folder}\" PERMISSIONS ${DIALDEX_FOLDER_PERMISSIONS})
    endif()
  endforeach()")
