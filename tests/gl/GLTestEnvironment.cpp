// What the GL tests need of the process around them, under the sanitizers of the test build.
#include <dlfcn.h>

#include <initializer_list>

// Mesa's software driver is unloaded when the display closes at exit, and its globals go with it: the
// leak checker then reports everything they still pointed to as lost (with frames it cannot name).
// Loading the driver once more, never to be unloaded, keeps those roots in place.
namespace {

struct TKeepDriverLoaded {
    TKeepDriverLoaded() {
        for (const char *path : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                 "/usr/lib64/dri/swrast_dri.so", "/usr/lib/dri/swrast_dri.so"})
            if (dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
                break;
    }
} keepDriverLoaded;

} // namespace

// The X keyboard library copies atom names that are not NUL-terminated with strndup; the strict string
// checks of the test build measure them with strlen and report a read past the reply. Nothing reads
// there: the copy stops at the length given.
extern "C" const char *__asan_default_suppressions() {
    return "interceptor_via_lib:libxkbcommon-x11.so\n";
}
