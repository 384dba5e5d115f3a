/* The interpreter, started from an executable linked with ThreadSanitizer.
 * The interpreter itself is not instrumented, and preloading the sanitizer's
 * runtime into it fails on some kernels; linked into the program that starts
 * it, the runtime comes up first and watches the instrumented module. */
#include <Python.h>

int main(int argc, char** argv) { return Py_BytesMain(argc, argv); }
