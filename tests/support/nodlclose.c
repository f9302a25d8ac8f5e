/* Preloaded into the sanitizer test runs: keeps every shared library loaded
   until exit, so that LeakSanitizer can name the GL driver a leak lies in
   (and the suppressions can match it) instead of reporting an unknown module. */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
