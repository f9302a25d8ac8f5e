/* Linked into the sanitized GL programs: blocks Mesa 25's driver loses. Its stacks stop inside it
   (no frame pointers), so a leak of ours, with our frames and none of its, is still reported. */
const char* __lsan_default_suppressions(void);
const char* __lsan_default_options(void);

const char* __lsan_default_suppressions(void)
{
    return "leak:libGLX_mesa.so\n" /* the GLX front end, in every run that makes a context */
           "leak:libgallium-\n";   /* llvmpipe, in every run that uploads a texture */
}

const char* __lsan_default_options(void)
{
    return "print_suppressions=0"; /* the menu's standard error is checked */
}
