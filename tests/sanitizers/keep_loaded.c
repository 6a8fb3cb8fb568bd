/* Preloaded into the sanitizer pass only: makes dlclose() keep every library
 * loaded until the process ends.
 *
 * The GPU driver and the audio client libraries are opened at run time (by
 * libglvnd, by miniaudio's device probe, by ALSA for its plugins) and closed
 * again, but each keeps global state that it means to hold for the life of
 * the process. Once such a library is unloaded, LeakSanitizer's check at exit
 * sees that state as lost and can no longer tell which library it came from,
 * so no suppression by library name could match it. Kept loaded, its frames
 * keep their names, and tests/sanitizers/lsan.supp names each library. */
int dlclose(void* handle) {
    (void)handle;
    return 0;
}
