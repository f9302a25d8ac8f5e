/* Preloaded into the menu by a test: notes each swap interval asked for on standard error, asks,
   then holds start-up for two seconds, time for the test's clicks on the black screen. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <unistd.h>

void glfwSwapInterval(int interval)
{
    fprintf(stderr, "swap interval %d\n", interval);
    ((void (*)(int))dlsym(RTLD_NEXT, "glfwSwapInterval"))(interval);
    sleep(2);
}
