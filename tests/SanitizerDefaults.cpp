// SPDX-License-Identifier: MIT
// Sanitizer settings every test executable carries, so that a run by hand
// sees the same checks as a run under ctest. Without a sanitizer runtime
// nobody calls these.

extern "C" {

// Mesa's drivers keep dynamic TLS that LeakSanitizer's exit scan can misread
// and crash on; not following __tls_get_addr avoids that scan. The heap is
// still checked.
__attribute__((visibility("default"), used)) const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}

// The software GL driver's worker threads sometimes drop a texture's last
// reference without freeing it (it vanishes with LP_NUM_THREADS=0 and under
// valgrind), so a GUI test can end with a driver-made block nobody points
// at. Only blocks the driver itself allocated are excused; ours are not.
// On an X display SDL also starts D-Bus, whose library keeps a connection
// buffer for the life of the process.
__attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:_dri.so\nleak:libdbus-1.so\n";
}

} // extern "C"
