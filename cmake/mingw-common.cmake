# The -posix compilers: the -win32 thread model has no std::mutex or std::thread.
set(CMAKE_C_COMPILER ${KALVERA_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALVERA_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KALVERA_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KALVERA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Only system DLLs are imported: no runtime DLL has to travel with the exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Test programs run under the Wine loader the scripts choose for this
# machine (the 64-bit one where it runs no 32-bit programs).
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine ABSOLUTE)
