/* launch: runs a program with the moment of its launch in the environment.
 * It stores CLOCK_MONOTONIC nanoseconds in SWAPCOUNT_T0_NS as late as it can,
 * right before exec, so that the swapcount library inside the program can
 * measure start-up from "before exec" to its first buffer swap.
 *
 *   launch PROGRAM [ARGUMENT...]
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: launch PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    char value[32];
    snprintf(value, sizeof value, "%llu",
             (unsigned long long)ts.tv_sec * 1000000000ull + (unsigned long long)ts.tv_nsec);
    setenv("SWAPCOUNT_T0_NS", value, 1);
    execvp(argv[1], argv + 1);
    perror(argv[1]);
    return 127;
}
