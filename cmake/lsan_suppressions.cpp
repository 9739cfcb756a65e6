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
