# Installing the game like any other program: the icon (rendered from
# assets/icon by vantrel-icon), the Windows resources, the install layout,
# the man page (vantrel-docs) and the Debian package (make package).
#
# The installed layout puts the data in <prefix>/share/vantrel beside the
# executable's <prefix>/games: the game looks for it there relative to its
# own file, so a moved install keeps working.
set(VANTREL_PACKAGE_FILES ${VANTREL_SOURCE_ROOT}/assets/package)
set(VANTREL_ICON_SIZES 16 32 48 64 128 256)
set(VANTREL_WINDOW_ICON_SIZE 64)  # the SDL window's, built into the executable
set(VANTREL_MAINTAINER "Orrinvale <games@orrinvale.example>" CACHE STRING
  "Maintainer of the Debian package (name <address>)")
string(TOLOWER "${PROJECT_DESCRIPTION}" PROJECT_DESCRIPTION_LOWER)

# A new version needs its entry in the changelog and the AppStream releases.
file(STRINGS ${VANTREL_PACKAGE_FILES}/changelog changelog_top LIMIT_COUNT 1)
file(READ ${VANTREL_PACKAGE_FILES}/org.orrinvale.vantrel.metainfo.xml metainfo_text)
if(NOT changelog_top MATCHES "^vantrel \\(${PROJECT_VERSION}\\) " OR
   NOT metainfo_text MATCHES "<release version=\"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "version ${PROJECT_VERSION}: add its entry on top of "
    "assets/package/changelog and to the releases in assets/package/*.metainfo.xml")
endif()

if(WIN32)
  # The icon comes from the native build, as packed.dat does.
  set(VANTREL_ICON_ICO "" CACHE FILEPATH
    "vantrel.ico from the native build's icons/ (scripts/build_windows.sh passes it)")
  if(TARGET vantrel)
    if(NOT EXISTS "${VANTREL_ICON_ICO}")
      message(FATAL_ERROR "VANTREL_ICON_ICO must name the native build's icons/vantrel.ico; "
        "scripts/build_windows.sh builds it and passes it")
    endif()
    enable_language(RC)
    set(VANTREL_MANIFEST ${CMAKE_BINARY_DIR}/vantrel.manifest)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/vantrel.manifest.in ${VANTREL_MANIFEST} @ONLY)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/vantrel.rc.in ${CMAKE_BINARY_DIR}/vantrel.rc @ONLY)
    target_sources(vantrel PRIVATE ${CMAKE_BINARY_DIR}/vantrel.rc)
    set_source_files_properties(${CMAKE_BINARY_DIR}/vantrel.rc PROPERTIES
      OBJECT_DEPENDS "${VANTREL_ICON_ICO};${VANTREL_MANIFEST}")
  endif()
  return()
endif()
if(NOT TARGET vantrel OR NOT TARGET vantrel-icon OR NOT TARGET packed_dat)
  return()  # a build without the game or its tools has nothing to install
endif()

# ---- Icon ---------------------------------------------------------------
set(icon_dir ${CMAKE_BINARY_DIR}/icons)
set(window_icon_header ${VANTREL_GENERATED_DIR}/vantrel_icon_pixels.h)
set(icon_outputs ${icon_dir}/vantrel.ico ${window_icon_header})
foreach(size ${VANTREL_ICON_SIZES})
  list(APPEND icon_outputs ${icon_dir}/vantrel_${size}.png)
endforeach()
file(GLOB icon_sources CONFIGURE_DEPENDS ${VANTREL_SOURCE_ROOT}/assets/icon/*)
add_custom_command(OUTPUT ${icon_outputs}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
  COMMAND vantrel-icon ${VANTREL_SOURCE_ROOT}/assets/icon/vantrel.icon ${icon_dir}
          --header ${window_icon_header} ${VANTREL_WINDOW_ICON_SIZE}
  DEPENDS vantrel-icon ${icon_sources}
  COMMENT "Rendering the icon from assets/icon"
  VERBATIM)
add_custom_target(icons ALL DEPENDS ${icon_outputs})
add_dependencies(vantrel icons)
target_compile_definitions(vantrel PRIVATE VANTREL_ICON_PIXELS=1)
target_include_directories(vantrel PRIVATE ${VANTREL_GENERATED_DIR})

# ---- Man page and changelog, gzipped without timestamps --------------------
set(doc_dir ${CMAKE_BINARY_DIR}/doc)
add_custom_command(OUTPUT ${doc_dir}/vantrel.6.gz ${doc_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${doc_dir}
  COMMAND vantrel-docs --man ${doc_dir}/vantrel.6
  COMMAND gzip -9nf ${doc_dir}/vantrel.6
  COMMAND ${CMAKE_COMMAND} -E copy ${VANTREL_PACKAGE_FILES}/changelog ${doc_dir}/changelog
  COMMAND gzip -9nf ${doc_dir}/changelog
  DEPENDS vantrel-docs ${VANTREL_PACKAGE_FILES}/changelog
  COMMENT "Writing the man page"
  VERBATIM)
add_custom_target(docs ALL DEPENDS ${doc_dir}/vantrel.6.gz ${doc_dir}/changelog.gz)

# ---- Install layout ------------------------------------------------------
include(GNUInstallDirs)
# Debian keeps games in /usr/games; the data is found from there just the same.
set(VANTREL_INSTALL_BINDIR games CACHE STRING "Where vantrel is installed, below the prefix")
install(TARGETS vantrel RUNTIME DESTINATION ${VANTREL_INSTALL_BINDIR})
install(FILES ${VANTREL_PACKED_DAT} DESTINATION ${CMAKE_INSTALL_DATADIR}/vantrel)
install(FILES ${VANTREL_PACKAGE_FILES}/vantrel.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VANTREL_PACKAGE_FILES}/org.orrinvale.vantrel.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size ${VANTREL_ICON_SIZES})
  install(FILES ${icon_dir}/vantrel_${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vantrel.png)
endforeach()
install(FILES ${doc_dir}/vantrel.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${VANTREL_PACKAGE_FILES}/copyright ${doc_dir}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vantrel)

# ---- Debian package ------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orrinvale)
set(CPACK_PACKAGE_CONTACT "${VANTREL_MAINTAINER}")
# Debian's synopsis has no article; CPack indents the description's lines.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "platform game in moving noise")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Every frame the whole screen is visual noise; the world is seen only
because each region's noise moves in its own way. Walk a stick figure of
boiling noise through 39 rooms, dodging deadly noise and creatures, to
music assembled at run time.

Photosensitivity warning: the later rooms flash the entire screen at the
display's refresh rate.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
