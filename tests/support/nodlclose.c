/* Preloaded under the sanitizers: libraries stay loaded, so leaks name the driver they lie in. */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
