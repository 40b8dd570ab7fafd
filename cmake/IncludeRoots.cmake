# The code of the core (the add-in, the setup program, the portable platform layer) includes from a
# folder of links that holds addin/, setup/ and platform/ without its backends (platform/win32,
# platform/sim, platform/host), so that a core file cannot include a backend, the COM front end, the
# command or the tests.
set(QM_CORE_INCLUDE_ROOT ${PROJECT_BINARY_DIR}/include-core)
file(REMOVE_RECURSE ${QM_CORE_INCLUDE_ROOT})
file(MAKE_DIRECTORY ${QM_CORE_INCLUDE_ROOT}/platform)
foreach(folder addin setup)
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${QM_CORE_INCLUDE_ROOT}/${folder} SYMBOLIC)
endforeach()
file(GLOB qm_platform_entries RELATIVE ${PROJECT_SOURCE_DIR}/platform ${PROJECT_SOURCE_DIR}/platform/*)
foreach(entry ${qm_platform_entries})
  if(NOT entry MATCHES "^(win32|sim|host)$")
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/platform/${entry} ${QM_CORE_INCLUDE_ROOT}/platform/${entry} SYMBOLIC)
  endif()
endforeach()

# The include folder of a core target; nothing else is searched for its own sources.
function(qm_core_target target)
  target_include_directories(${target} PUBLIC ${QM_CORE_INCLUDE_ROOT})
endfunction()

# A file added to or removed from platform/ changes the folder's time: the links are made again.
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform)
