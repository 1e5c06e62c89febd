// Compiled into every program of a sanitizer build (VOLDRANE_SANITIZE). Built in rather than
// given through ASAN_OPTIONS and LSAN_OPTIONS, so that they also hold for programs that a
// test starts with an environment of its own.

// Fault tests preload a small library that holds a writer before its write (it wraps flock
// and nothing the sanitizer intercepts), so the runtime cannot be first in the library list.
extern "C" const char* __asan_default_options() {
    return "verify_asan_link_order=0";
}

// Leaks in a library, not in this program.
//
// libQt6DBus: Qt 6.4 builds a meta-object for each D-Bus interface object (QDBusInterface;
// QSystemTrayIcon makes one for its StatusNotifierItem) and does not free the meta-object's
// type table with it (later Qt versions do). Qt is built without frame pointers, so the
// allocation's stack ends inside libQt6DBus and cannot be narrowed to the function.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6DBus.so\n";
}
