/* swapcount: an LD_PRELOAD library that counts a program's frames from the
 * outside. It interposes glfwSwapBuffers (GLFW is a shared library, so the
 * program's calls resolve here first), forwards every call to the real one and
 * notes when each swap returned. Nothing of the program is changed: the
 * benchmark measures the real executable as a player runs it.
 *
 * Settings, from the environment:
 *   SWAPCOUNT_OUT    file the counts are written to (nothing is written
 *                    without it); rewritten atomically, key=value per line
 *   SWAPCOUNT_SKIP   seconds after the first swap before the measuring window
 *                    opens (default 0)
 *   SWAPCOUNT_SPAN   length of the measuring window in seconds (default 0:
 *                    the window stays open until the program ends)
 *   SWAPCOUNT_T0_NS  CLOCK_MONOTONIC nanoseconds taken just before the
 *                    program was executed (set by the bench launcher); copied
 *                    to the output so that start-up can be measured to the
 *                    first swap
 *
 * Besides the swap counts, the file holds the process's CPU time (all
 * threads) spent between the window's first and last swap.
 *
 * The file is written at the first swap, when the window closes, at normal
 * exit and on SIGTERM/SIGINT (then the signal's default action follows), so a
 * run that is ended by any of these still leaves its counts behind.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef struct GLFWwindow GLFWwindow;
typedef void (*SwapFunction)(GLFWwindow*);

static SwapFunction realSwap;
static char outPath[4096];
static char tmpPath[4200];
static uint64_t skipNs;
static uint64_t spanNs;
static uint64_t launchNs;

/* Written by the main thread only; a signal handler reads them. */
static volatile uint64_t swaps;
static volatile uint64_t firstSwapNs;
static volatile uint64_t windowSwaps;
static volatile uint64_t windowFirstNs;
static volatile uint64_t windowLastNs;
static volatile uint64_t windowFirstCpuNs;
static volatile uint64_t windowLastCpuNs;
static volatile int windowClosed;

static uint64_t nowNs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000000000u + (uint64_t)ts.tv_nsec;
}

/* CPU time of the whole process, every thread: the driver's rasteriser
 * threads included. Less sensitive than wall time to other work on the
 * machine, so it backs up the frame rate as a per-frame cost. */
static uint64_t processCpuNs(void) {
    struct timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (uint64_t)ts.tv_sec * 1000000000u + (uint64_t)ts.tv_nsec;
}

static uint64_t secondsEnvToNs(const char* name) {
    const char* text = getenv(name);
    if (text == NULL || *text == '\0') {
        return 0;
    }
    const double seconds = strtod(text, NULL);
    return seconds > 0.0 ? (uint64_t)(seconds * 1e9) : 0;
}

/* Async-signal-safe decimal formatting: the writer runs in a signal handler. */
static char* appendText(char* at, const char* text) {
    while (*text != '\0') {
        *at++ = *text++;
    }
    return at;
}

static char* appendNumber(char* at, uint64_t value) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        *at++ = digits[--count];
    }
    return at;
}

static char* appendField(char* at, const char* key, uint64_t value) {
    at = appendText(at, key);
    *at++ = '=';
    at = appendNumber(at, value);
    *at++ = '\n';
    return at;
}

static void writeCounts(int exiting) {
    if (outPath[0] == '\0') {
        return;
    }
    char buffer[1024];
    char* at = buffer;
    at = appendField(at, "launch_ns", launchNs);
    at = appendField(at, "first_swap_ns", firstSwapNs);
    at = appendField(at, "swaps", swaps);
    at = appendField(at, "window_swaps", windowSwaps);
    at = appendField(at, "window_first_ns", windowFirstNs);
    at = appendField(at, "window_last_ns", windowLastNs);
    at = appendField(at, "window_cpu_ns", windowLastCpuNs - windowFirstCpuNs);
    at = appendField(at, "window_closed", (uint64_t)windowClosed);
    at = appendField(at, "exited", (uint64_t)exiting);
    const int fd = open(tmpPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return;
    }
    const char* from = buffer;
    while (from < at) {
        const ssize_t written = write(fd, from, (size_t)(at - from));
        if (written <= 0) {
            break;
        }
        from += written;
    }
    close(fd);
    rename(tmpPath, outPath);
}

static void onSignal(int signalNumber) {
    writeCounts(1);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

static void atExit(void) {
    writeCounts(1);
}

__attribute__((constructor)) static void setUp(void) {
    const char* out = getenv("SWAPCOUNT_OUT");
    if (out != NULL && strlen(out) < sizeof outPath) {
        strcpy(outPath, out);
        strcpy(tmpPath, out);
        strcat(tmpPath, ".partial");
    }
    skipNs = secondsEnvToNs("SWAPCOUNT_SKIP");
    spanNs = secondsEnvToNs("SWAPCOUNT_SPAN");
    const char* launch = getenv("SWAPCOUNT_T0_NS");
    launchNs = launch != NULL ? strtoull(launch, NULL, 10) : 0;
    atexit(atExit);
    signal(SIGTERM, onSignal);
    signal(SIGINT, onSignal);
}

void glfwSwapBuffers(GLFWwindow* window) {
    if (realSwap == NULL) {
        realSwap = (SwapFunction)dlsym(RTLD_NEXT, "glfwSwapBuffers");
        if (realSwap == NULL) {
            abort(); /* preloaded into a program without GLFW */
        }
    }
    realSwap(window);
    const uint64_t now = nowNs();
    swaps = swaps + 1;
    if (firstSwapNs == 0) {
        firstSwapNs = now;
        writeCounts(0);
    }
    if (windowClosed || now < firstSwapNs + skipNs) {
        return;
    }
    const uint64_t cpu = processCpuNs();
    if (windowSwaps == 0) {
        windowFirstNs = now;
        windowFirstCpuNs = cpu;
    }
    windowSwaps = windowSwaps + 1;
    windowLastNs = now;
    windowLastCpuNs = cpu;
    if (spanNs != 0 && now >= windowFirstNs + spanNs) {
        windowClosed = 1;
        writeCounts(0);
    }
}
