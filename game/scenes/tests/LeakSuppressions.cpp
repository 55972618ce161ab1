// fontconfig keeps a block of its own from reading its configuration (the
// menus' font asks it once); the leak checker is told so, once for this
// test program.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
