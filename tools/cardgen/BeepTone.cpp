#include "tools/cardgen/BeepTone.h"

#include <cmath>

void FillBeepPcm(int64_t firstSample, int count, int sampleRate, int16_t* out) {
    const int64_t beepSamples = static_cast<int64_t>(sampleRate) * kBeepMs / 1000;
    const double step = 2.0 * M_PI * kBeepHz / sampleRate;
    for (int i = 0; i < count; ++i) {
        const int64_t n = firstSample + i;
        const int64_t inSecond = n % sampleRate;
        if (inSecond >= beepSamples) {
            out[i] = 0;
            continue;
        }
        // Half a sample of phase keeps every tone sample well away from zero (at 8 kHz the
        // samples are +-0.38 and +-0.92 of the amplitude), so the tone's edges are exact.
        out[i] =
            static_cast<int16_t>(std::lround(kBeepAmplitude * std::sin(step * (inSecond + 0.5))));
    }
}
