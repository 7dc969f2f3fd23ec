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

add_library(vx_json INTERFACE)
target_include_directories(vx_json SYSTEM INTERFACE ${VX_DEPS_DIR}/include)
