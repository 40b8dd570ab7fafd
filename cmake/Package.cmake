# The archive a Windows team takes: the setup program with the files it installs beside it (the add-in
# library and the help files), the command for 32-bit and for 64-bit Windows, README and the licence.
#   cmake --build build/windows --target package   ->   build/windows/Quillmark-1.0-windows.zip
# The 64-bit command and the 64-bit add-in library (for a 64-bit Office's VBA editor, installed by
# the setup program as WekQM417x64.dll) come from a 64-bit build (the windows64-release preset).
set(QM_QUILLMARK64 "${PROJECT_SOURCE_DIR}/build/windows64-release/cli/quillmark.exe" CACHE FILEPATH
    "the 64-bit quillmark.exe that the package holds")
set(QM_LIBRARY64 "${PROJECT_SOURCE_DIR}/build/windows64-release/com/WekQM417.dll" CACHE FILEPATH
    "the 64-bit add-in library that the package holds")
set(QM_LICENSE_FILE "${PROJECT_SOURCE_DIR}/LICENSE" CACHE FILEPATH "the licence that the package holds")

install(TARGETS Setup WekQM417 RUNTIME DESTINATION . LIBRARY DESTINATION .)
install(FILES ${QM_HELP_DIR}/Quillmark.hlp ${QM_HELP_DIR}/Quillmark.cnt ${QM_HELP_DIR}/Quillmark.chm DESTINATION .)
install(PROGRAMS ${QM_QUILLMARK64} DESTINATION x64)
install(FILES ${QM_LIBRARY64} DESTINATION . RENAME WekQM417x64.dll)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
if(EXISTS ${QM_LICENSE_FILE})
  install(FILES ${QM_LICENSE_FILE} DESTINATION .)
else()
  message(WARNING "No licence at ${QM_LICENSE_FILE}: the package goes without one")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quillmark)
set(CPACK_PACKAGE_VENDOR Wek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "Quillmark-${PROJECT_VERSION}-windows")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES OFF)
include(CPack)
