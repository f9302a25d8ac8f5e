/* Preloaded into the menu by a test: notes each swap interval asked for on standard error, then asks. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>

void glfwSwapInterval(int interval)
{
    fprintf(stderr, "swap interval %d\n", interval);
    ((void (*)(int))dlsym(RTLD_NEXT, "glfwSwapInterval"))(interval);
}
