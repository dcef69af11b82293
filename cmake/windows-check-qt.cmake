# Given as CMAKE_PROJECT_INCLUDE by ./build.sh check-windows. Qt's DLLs for Windows are not
# installed, so once the project has found Qt every imported library target (Qt's, and the
# Linux libraries they bring along) is pointed at an empty import library. The program then
# links, and what stays unresolved is exactly what Qt's DLLs would give; the check reads that
# list from the linker.
cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL gsw_point_imported_targets_at_stub)

function(gsw_point_imported_targets_at_stub)
    set(stub "${CMAKE_BINARY_DIR}/libgsw-empty-import.a")
    file(WRITE "${stub}" "!<arch>\n")
    get_directory_property(targets DIRECTORY "${CMAKE_SOURCE_DIR}" IMPORTED_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "EXECUTABLE")
            set(locations)
        else()
            set(locations IMPORTED_IMPLIB IMPORTED_LOCATION)
            get_target_property(configs ${target} IMPORTED_CONFIGURATIONS)
            foreach(config IN LISTS configs)
                list(APPEND locations IMPORTED_IMPLIB_${config} IMPORTED_LOCATION_${config})
            endforeach()
        endif()
        foreach(property IN LISTS locations)
            set_target_properties(${target} PROPERTIES ${property} "${stub}")
        endforeach()
        # Linux libraries named by path (libGL.so and the like) mean nothing to this linker.
        get_target_property(links ${target} INTERFACE_LINK_LIBRARIES)
        if(links)
            list(FILTER links EXCLUDE REGEX "^/.*\\.so(\\.[0-9]+)*$")
            set_target_properties(${target} PROPERTIES INTERFACE_LINK_LIBRARIES "${links}")
        endif()
    endforeach()
endfunction()
