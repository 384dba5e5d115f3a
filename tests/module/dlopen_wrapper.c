/* Preloaded by a test: stands between every caller and the loader's dlopen,
   as a sanitizer's runtime does.  The loader then takes this library for the
   caller and searches its run path (it has none) instead of the caller's. */
#define _GNU_SOURCE
#include <dlfcn.h>

void* dlopen(const char* file, int mode) {
    static void* (*loader_dlopen)(const char*, int);
    if (!loader_dlopen) *(void**)&loader_dlopen = dlsym(RTLD_NEXT, "dlopen");
    return loader_dlopen(file, mode);
}
