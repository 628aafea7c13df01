# Compiler settings shared by every target of our own.

if(SENKEY_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(SENKEY_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT SENKEY_SANITIZE STREQUAL "")
    message(FATAL_ERROR "SENKEY_SANITIZE must be empty, address or thread")
endif()

# Warnings for a target of ours; third-party headers come in as system includes.
function(senkey_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wold-style-cast -Wcast-align -Woverloaded-virtual)
    if(SENKEY_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# The version for the programs' --version, from project().
configure_file(${CMAKE_CURRENT_LIST_DIR}/SenKeyVersion.h.in ${CMAKE_BINARY_DIR}/generated/SenKeyVersion.h @ONLY)
add_library(senkey_version INTERFACE)
target_include_directories(senkey_version INTERFACE ${CMAKE_BINARY_DIR}/generated)

# `cmake --install` and CPack install what is built; they do not first build every test and benchmark
# (scripts/package builds only the programs).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
