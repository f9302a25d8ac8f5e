/* Linked into the sanitized menu and GL tests: LeakSanitizer's suppressions for blocks that Mesa's
   GL driver allocates and never frees (seen with Mesa 25 on Debian 13; Mesa 22 frees them). An
   entry matches a leak by the library of a frame in its stack. The driver is built without frame
   pointers, so its stacks stop inside it: these match only leaks made there. A leak made by our
   code has our frames above the allocator and no driver frame below them (the one way from the
   driver into our code, the GL debug callback, allocates nothing), and is still reported. */
const char* __lsan_default_suppressions(void);
const char* __lsan_default_options(void);

const char* __lsan_default_suppressions(void)
{
    return "leak:libGLX_mesa.so\n" /* the GLX front end, in every run that makes a context */
           "leak:libgallium-\n";   /* llvmpipe, in every run that uploads a texture */
}

/* The menu's standard error is part of what the tests check. */
const char* __lsan_default_options(void)
{
    return "print_suppressions=0";
}
