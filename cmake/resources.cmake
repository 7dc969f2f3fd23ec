# windres does not tell the build which files a resource script pulls in, so ninja kept a stale resource
# object after an icon, a dialog or a header changed. Each script depends on the resource files of its
# own folder and the headers one folder up (a plug-in's res/ script includes the plug-in's resource.h).
function(vx_all_directories dir out)
    get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    set(all ${dir})
    foreach(sub ${subdirectories})
        vx_all_directories(${sub} more)
        list(APPEND all ${more})
    endforeach()
    set(${out} ${all} PARENT_SCOPE)
endfunction()

function(vx_resource_dependencies)
    vx_all_directories(${CMAKE_SOURCE_DIR} directories)
    file(GLOB_RECURSE scripts CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/*.rc ${CMAKE_SOURCE_DIR}/plugins/*.rc
         ${CMAKE_SOURCE_DIR}/tests/*.rc)
    foreach(script ${scripts})
        get_filename_component(folder ${script} DIRECTORY)
        get_filename_component(parent ${folder} DIRECTORY)
        file(GLOB inputs CONFIGURE_DEPENDS ${folder}/*.rc ${folder}/*.h ${folder}/*.ico ${folder}/*.manifest
             ${folder}/*.bmp ${parent}/*.h)
        list(REMOVE_ITEM inputs ${script})
        set_source_files_properties(${script} DIRECTORY ${directories} PROPERTIES OBJECT_DEPENDS "${inputs}")
    endforeach()
endfunction()
