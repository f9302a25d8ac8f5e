/* Preloaded into the menu: notes the swap interval, then holds start-up two seconds for clicks. */
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
