# Hardening of the shipped binaries, set here rather than left to each toolchain's defaults;
# tools/check-hardening.sh reads it back from their headers.
if(WIN32)
  # Relocatable image (ASLR) and no-execute data (DEP). A 32-bit image has no high-entropy form.
  # NO_SEH: exceptions of this toolchain unwind by tables, no structured handler is ever registered
  # (and a SafeSEH table cannot be produced by it).
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-seh)
  # The programs are terminal-server aware; the flag means nothing for a DLL.
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -Wl,--tsaware")
  # Stack canaries from the static libssp. zsiteid.dll turns them off again: it carries no C runtime.
  add_compile_options(-fstack-protector-strong)
  add_link_options(-fstack-protector-strong)
elseif(NOT Z_SANITIZE AND NOT Z_FUZZ)
  # The distribution's hardening (as dpkg-buildflags with hardening=+all): zpack reads untrusted files.
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-fPIE -fstack-protector-strong -Wformat -Werror=format-security)
  # Fortified string and I/O calls need an optimised build.
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_link_options(-pie -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
endif()
