# Warnings are errors for our own code only.
add_library(qm_warnings INTERFACE)
# A target that implements COM interfaces (which have no virtual destructors, by design) sets its
# property QM_COM_INTERFACES and is spared that one warning.
target_compile_options(qm_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Werror
                       $<$<NOT:$<BOOL:$<TARGET_PROPERTY:QM_COM_INTERFACES>>>:-Wnon-virtual-dtor>)
# GCC 12 reports overlaps inside std::u16string concatenation that cannot happen (a known false
# positive of -Wrestrict once it inlines at -O2 and above). It is silenced only for GCC, and only in the
# files where it arises (the native and the Windows cross builds alike); qm_no_restrict_false_positive(FILE...)
# names them, in the folder whose targets compile them.
function(qm_no_restrict_false_positive)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
    set_property(SOURCE ${ARGN} APPEND PROPERTY COMPILE_OPTIONS -Wno-restrict)
  endif()
endfunction()
