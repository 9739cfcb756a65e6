// Compiled into every program of a sanitizer build: libraries that keep their caches
// until the process ends are not leaks of ours, nor are the directory entries libgsf
// loses when it gives up on a damaged compound file.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgsf-1.so\n";
}

// The leak checker of this toolchain reads every thread's dynamic TLS blocks as roots and
// stops with "Tracer caught signal 11" on one whose address is not a block at all (0x35f8:
// the C library's mark for a block not yet allocated); a document test ends so. Our own
// thread-local values are flags and a one-pixel image, so leaks are looked for without TLS.
extern "C" const char* __lsan_default_options()
{
    return "use_tls=0";
}
