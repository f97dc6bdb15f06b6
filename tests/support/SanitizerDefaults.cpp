// Linked into every test program of the sanitizer build. Leak checking stays on
// for our code; what Qt allocates once per process and never frees is not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6Core.so\n"
           "leak:libQt6Gui.so\n"
           "leak:libQt6Widgets.so\n"
           "leak:libfontconfig.so\n"
           "leak:libglib-2.0.so\n";
}

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}
