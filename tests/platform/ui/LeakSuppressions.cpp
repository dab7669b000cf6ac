// The font configuration library under Qt keeps caches for the life of the process; the leak
// checker of the sanitizer builds is told so, and still reports every other leak.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
