#include "AttemptTracker.h"

void AttemptTracker::finish(double time) {
    ++finished;
    inAttempt = false;
    const double took = time - attemptStart;
    if (took > longest) {
        longest = took;
    }
    if (took > deadline && !overdueCounted) {
        ++overdue;
    }
}

void AttemptTracker::press(double time, bool aimingBefore) {
    ++presses;
    if (aimingBefore) {
        ++pressesAiming;
        if (inAttempt) {
            // The game came back to aiming in this very frame, before the
            // press: the last attempt ended now.
            finish(time);
        }
        if (pendingPress) {
            ++ignored; // an earlier press while aiming changed nothing
        }
        pendingPress = true;
        // The press is judged in aiming, whatever the last frame showed.
        wasAiming = true;
        seenFrame = true;
    }
}

void AttemptTracker::observe(double time, bool aiming) {
    if (seenFrame && wasAiming && !aiming) {
        ++started;
        inAttempt = true;
        attemptStart = time;
        overdueCounted = false;
        if (!pendingPress) {
            ++unprompted;
        }
        pendingPress = false;
    } else if (aiming && pendingPress) {
        // The press was judged but the game is still aiming: it was lost.
        ++ignored;
        pendingPress = false;
    }
    if (inAttempt && aiming) {
        finish(time);
    } else if (inAttempt && !overdueCounted && time - attemptStart > deadline) {
        ++overdue;
        overdueCounted = true;
    }
    wasAiming = aiming;
    seenFrame = true;
}
