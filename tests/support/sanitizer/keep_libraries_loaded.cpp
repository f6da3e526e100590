// Linked into the test programs of the sanitizer build: libraries stay loaded until the
// process ends. The GL driver keeps memory for the whole process and is unloaded when
// the window system shuts down; once unloaded, the leak checker can no longer tell its
// allocations from ours, and the driver's suppressions would not match them.
extern "C" int dlclose(void*) { return 0; }
