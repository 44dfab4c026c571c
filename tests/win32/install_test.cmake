# "cmake --install" of the Windows build lays out the client folder: Corvalis.exe and its
# connection file, nothing else.
# usage: cmake -DBUILD_DIR=... -DFOLDER=... -DEXE=... -DCONNECTION_FILE=... -P install_test.cmake
file(REMOVE_RECURSE "${FOLDER}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${FOLDER}"
                OUTPUT_QUIET RESULT_VARIABLE status)
file(GLOB installed RELATIVE "${FOLDER}" "${FOLDER}/*")
if(NOT status EQUAL 0 OR NOT installed STREQUAL "Corvalis.exe;Tol-Cloud.rdp")
    message(FATAL_ERROR "cmake --install ended with ${status} and laid out: ${installed}")
endif()
foreach(pair "${EXE};Corvalis.exe" "${CONNECTION_FILE};Tol-Cloud.rdp")
    list(GET pair 0 built)
    list(GET pair 1 name)
    file(SHA256 "${built}" expected)
    file(SHA256 "${FOLDER}/${name}" actual)
    if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${name} is not a copy of ${built}")
    endif()
endforeach()
file(REMOVE_RECURSE "${FOLDER}")
