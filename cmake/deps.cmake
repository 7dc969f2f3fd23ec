# Third-party code the set-up script fetches (scripts/setup.sh): SQLite's amalgamation and nlohmann-json.
set(VX_DEPS_DIR ${CMAKE_SOURCE_DIR}/build/deps CACHE PATH "Where scripts/setup.sh put the third-party sources")
if(NOT EXISTS ${VX_DEPS_DIR}/sqlite3/sqlite3.c OR NOT EXISTS ${VX_DEPS_DIR}/include/nlohmann/json.hpp)
    message(FATAL_ERROR "Third-party sources are missing from ${VX_DEPS_DIR}: run scripts/setup.sh first")
endif()

# One sqlite3.dll beside the program serves every plug-in that reads a browser's database.
add_library(sqlite3 SHARED ${VX_DEPS_DIR}/sqlite3/sqlite3.c)
set_target_properties(sqlite3 PROPERTIES PREFIX "" C_VISIBILITY_PRESET default)
target_include_directories(sqlite3 SYSTEM PUBLIC ${VX_DEPS_DIR}/sqlite3)
# Serialized threading: each search opens its own connection, but nothing else may go wrong if two meet.
# No extension loading: the databases read are other programs' files, never trusted to pick our code.
target_compile_definitions(sqlite3 PRIVATE
    SQLITE_THREADSAFE=1 SQLITE_DEFAULT_MEMSTATUS=0 SQLITE_DQS=0 SQLITE_OMIT_DEPRECATED
    SQLITE_OMIT_LOAD_EXTENSION SQLITE_OMIT_SHARED_CACHE SQLITE_LIKE_DOESNT_MATCH_BLOBS
    SQLITE_WIN32_MALLOC "SQLITE_API=__declspec(dllexport)")
target_compile_options(sqlite3 PRIVATE -w)

# The browser plug-ins take sqlite3.dll at their first database call instead of with themselves: most
# starts find no browser's files and unload those plug-ins again, and under Wine mapping the library
# cost each of them about 4 ms. Their .vll files link this delay-load library; their code libraries see
# only the headers, so tests and benchmarks that link them import sqlite3 as usual. Loaded that way, the
# library stays until the process ends, even when the plug-in that took it is unloaded.
add_library(sqlite3_headers INTERFACE)
target_include_directories(sqlite3_headers SYSTEM INTERFACE ${VX_DEPS_DIR}/sqlite3)
set(VX_SQLITE_DEF ${CMAKE_BINARY_DIR}/sqlite3.def)
set(VX_SQLITE_DELAYED ${CMAKE_BINARY_DIR}/libsqlite3_delayed.a)
target_link_options(sqlite3 PRIVATE "-Wl,--output-def,${VX_SQLITE_DEF}")
add_custom_command(TARGET sqlite3 POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} --input-def ${VX_SQLITE_DEF} --dllname sqlite3.dll
            --output-delaylib ${VX_SQLITE_DELAYED}
    BYPRODUCTS ${VX_SQLITE_DELAYED} VERBATIM)
add_library(sqlite3_delayed INTERFACE)
target_link_libraries(sqlite3_delayed INTERFACE sqlite3_headers ${VX_SQLITE_DELAYED})
add_dependencies(sqlite3_delayed sqlite3)

add_library(vx_json INTERFACE)
target_include_directories(vx_json SYSTEM INTERFACE ${VX_DEPS_DIR}/include)
