/* Preloaded into the sanitizer test runs: keeps every shared library loaded until exit, so that
   LeakSanitizer names the GL driver a leak lies in, for the suppressions, not an unknown module. */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
