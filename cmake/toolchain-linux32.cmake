# 32-bit Linux (g++ -m32, Debian g++-multilib), run under qemu-i386: the
# shipping module's pointer size, record layouts and calling convention,
# executed on a 64-bit machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
find_program(CECP_QEMU_I386 qemu-i386 REQUIRED)
# -L points qemu at the root file system, where g++-multilib put the 32-bit
# run-time libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CECP_QEMU_I386} -L /)
# qemu-i386 runs the 32-bit programs of this build, but a child that such a
# program starts is executed by the kernel: a 32-bit child runs only where the
# kernel has 32-bit support or binfmt_misc hands it to qemu, and many machines
# have neither. The programs the tests start as children (the scripted test
# engine) are therefore built for the machine's own word size: what is under
# test here is the 32-bit module and host, not the engine's word size.
set(CECP_CHILD_PROGRAM_OPTIONS -m64)
