# movendi_library(<target> <folder> <sources...>): a static library whose headers another
# target sees, as "<folder>/<header>", only when it links that library. Each library gets an
# include root of its own holding links to its headers, so a dependency that runs the wrong
# way (or that a target forgot to declare) fails to compile instead of working by accident.
function(movendi_library target folder)
    add_library(${target} STATIC ${ARGN})
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    file(REMOVE_RECURSE ${root})
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(source IN LISTS ARGN)
        if(source MATCHES "\\.h$")
            get_filename_component(name ${source} NAME)
            file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${root}/${folder}/${name}
                 SYMBOLIC)
        endif()
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()
