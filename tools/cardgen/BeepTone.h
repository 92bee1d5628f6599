#pragma once
// The recording's sound: a 1 kHz tone during the first 100 ms of every whole second and
// silence otherwise, so the position of every second can be found in the samples that were
// played.

#include <cstdint>

constexpr int kBeepMs = 100;
constexpr int kBeepHz = 1000;
constexpr int kBeepAmplitude = 16000;

// Fills count 16-bit mono samples starting at sample firstSample of the recording.
void FillBeepPcm(int64_t firstSample, int count, int sampleRate, int16_t* out);
