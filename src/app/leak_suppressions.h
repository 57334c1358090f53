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
#endif
