#pragma once

// Included once in each program, by the file that defines main().
#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer asks for this at start: memory that these libraries keep
// until the process ends is theirs to keep, not a leak of ours.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore.so\n"
           "leak:libfontconfig.so\n"
           "leak:libudev.so\n";
}
// Qt WebEngine frees some of its own objects with a sized delete of another
// size once pages were loaded; that is inside the library.
extern "C" const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0";
}
#endif
