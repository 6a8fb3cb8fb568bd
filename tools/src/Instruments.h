// The synthesiser's instruments. Each call adds one note or hit into an
// AudioBuffer; times are in seconds from the buffer's start. Every note ends
// by its given length (a short release inside it), so a score can promise
// silence where it needs it.
#pragma once

#include "AudioBuffer.h"

#include <vector>

namespace instruments {

// Frequency of a note name such as "C4", "F#5", "Bb3"; 0 for "-" (a rest).
double frequency(const char* name);

// Bright plucked lead: band-limited saw and square, quick decay.
void pluck(AudioBuffer& out, double start, double length, double freq, float gain, float pan);
// Bell: two-operator FM with a decaying index.
void bell(AudioBuffer& out, double start, double length, double freq, float gain, float pan);
// Round bass: sine with a touch of its octave and fifth harmonics.
void bass(AudioBuffer& out, double start, double length, double freq, float gain);
// Short chord: detuned saws, darker than the pluck.
void chord(AudioBuffer& out, double start, double length, const std::vector<double>& freqs,
           float gain, float pan);
// Brass-like swell for fanfares: saws with a slow attack and vibrato; decay
// 0 holds the note, otherwise it fades with that time constant.
void brass(AudioBuffer& out, double start, double length, double freq, float gain, float pan,
           double decay = 0.0);

void kick(AudioBuffer& out, double start, float gain);
void snare(AudioBuffer& out, double start, float gain, Noise& noise);
void hat(AudioBuffer& out, double start, double length, float gain, Noise& noise);
// Crash cymbal: bright noise with a long decay.
void crash(AudioBuffer& out, double start, double length, float gain, Noise& noise);

} // namespace instruments
