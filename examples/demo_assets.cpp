// Makes the demo: demo.wav, eight seconds of plucked notes (one a second,
// rising through an arpeggio), and demo.iv, a scene that shows its
// waveform scrolling through "now", its spectrogram as a surface with the
// note onsets marked, and plays it in step with the clock.
//   qvDemoAssets <directory>
#include <nodes/qvSuite.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoType.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int RATE = 22050;
const double SECONDS = 8.0;
const double PI = 3.14159265358979323846;

std::vector<float> makeSound(std::vector<double> &onsets)
{
    const double pitches[] = {220.0, 277.18, 329.63, 440.0, 554.37, 659.26, 880.0, 659.26};
    size_t n = (size_t)(SECONDS * RATE);
    std::vector<float> s(n, 0.0f);
    for (int k = 0; k < 8; ++k) {
        double onset = 0.25 + k;
        onsets.push_back(onset);
        for (size_t i = (size_t)(onset * RATE); i < n; ++i) {
            double t = (double)i / RATE - onset;
            double v = 0.0;
            for (int h = 1; h <= 5; ++h)
                v += std::exp(-t * (1.5 + h)) / h * std::sin(2 * PI * pitches[k] * h * t);
            s[i] += (float)(0.35 * v * std::min(1.0, t * 200.0));
        }
    }
    return s;
}

bool writeWave(const std::string &path, const std::vector<float> &s)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    uint32_t bytes = (uint32_t)(s.size() * 2);
    std::fwrite("RIFF", 1, 4, f), u32(36 + bytes), std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16), u16(1), u16(1), u32(RATE), u32(RATE * 2), u16(2), u16(16);
    std::fwrite("data", 1, 4, f), u32(bytes);
    for (float v : s) {
        int16_t x = (int16_t)std::lround(std::max(-1.0f, std::min(1.0f, v)) * 32767.0f);
        std::fwrite(&x, 2, 1, f);
    }
    return std::fclose(f) == 0;
}

// Magnitudes of 32 bands from 0 to 4 kHz, 20 steps a second (Hann window
// of 1024 samples), scaled to 0 … 1.2.
std::vector<float> spectrogram(const std::vector<float> &s, int steps, int bands)
{
    const int W = 1024;
    std::vector<float> m((size_t)steps * bands);
    float peak = 0.0f;
    for (int i = 0; i < steps; ++i) {
        long centre = (long)((double)i / 20.0 * RATE);
        for (int j = 0; j < bands; ++j) {
            double f = 4000.0 * j / (bands - 1);
            double re = 0, im = 0;
            for (int k = 0; k < W; ++k) {
                long at = centre - W / 2 + k;
                if (at < 0 || at >= (long)s.size())
                    continue;
                double w = 0.5 - 0.5 * std::cos(2 * PI * k / (W - 1));
                double a = 2 * PI * f * at / RATE;
                re += w * s[(size_t)at] * std::cos(a);
                im -= w * s[(size_t)at] * std::sin(a);
            }
            float v = (float)std::sqrt(std::sqrt(re * re + im * im));
            m[(size_t)i * bands + j] = v;
            peak = std::max(peak, v);
        }
    }
    for (float &v : m)
        v = peak > 0 ? 1.2f * v / peak : 0.0f;
    return m;
}

void numbers(FILE *f, const std::vector<float> &v, int perLine)
{
    for (size_t i = 0; i < v.size(); ++i)
        std::fprintf(f, "%s%.3g%s", i % perLine == 0 ? "      " : "", v[i],
                     i + 1 == v.size() ? "" : (i % perLine == (size_t)perLine - 1 ? ",\n" : ", "));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 1;
    }
    std::string dir = argv[1];
    SoDB::init();
    qvSuite::initClasses();
    bool haveFile = !SoType::fromName("qvData1RFloatFile").isBad();
    bool haveAudio = !SoType::fromName("qvAudio").isBad();

    std::vector<double> onsets;
    std::vector<float> sound = makeSound(onsets);
    if (!writeWave(dir + "/demo.wav", sound)) {
        std::perror((dir + "/demo.wav").c_str());
        return 1;
    }
    const int steps = (int)(SECONDS * 20), bands = 32;
    std::vector<float> levels = spectrogram(sound, steps, bands);

    FILE *f = std::fopen((dir + "/demo.iv").c_str(), "w");
    if (f == nullptr) {
        std::perror((dir + "/demo.iv").c_str());
        return 1;
    }
    std::fprintf(f, "#Inventor V2.1 ascii\n\n"
                    "# The demo: the waveform of demo.wav (yellow) and its spectrogram (time\n"
                    "# along x with now at x = 0, frequency up to 4 kHz along z, magnitude up\n"
                    "# y), the note onsets as white lines, the sound played in step with the\n"
                    "# clock. Made by qvDemoAssets.\n\n"
                    "Separator {\n  qvSuite {}\n"
                    "  PerspectiveCamera {\n    position 0 2.6 6.8\n"
                    "    orientation 1 0 0 -0.3\n    focalDistance 7.5\n  }\n"
                    "  Scale { scaleFactor 1.6 1 1 }\n"
                    "  DirectionalLight { direction -0.2 -1 -0.6 }\n"
                    "  DEF CLOCK qvTime { speed 1 }\n");
    // The waveform.
    std::fprintf(f, "  Separator {\n    Translation { translation 0 2.1 0 }\n"
                    "    LightModel { model BASE_COLOR }\n    BaseColor { rgb 1 1 0 }\n");
    if (haveFile) {
        std::fprintf(f, "    qvData1RFloatFile { filename \"demo.wav\" }\n");
    } else {
        // No sound-file series: the waveform inline at 2 kHz.
        std::vector<float> wave;
        for (size_t i = 0; i < sound.size(); i += RATE / 2000 + 1)
            wave.push_back(sound[i]);
        std::fprintf(f, "    qvData1RFloat {\n      startTime 0\n      interval %.9g\n      data [\n",
                     (double)(RATE / 2000 + 1) / RATE);
        numbers(f, wave, 12);
        std::fprintf(f, " ]\n    }\n");
    }
    std::fprintf(f, "    qvLine { past 2 future 2 }\n");
    if (haveFile && haveAudio)
        std::fprintf(f, "    qvAudio {}\n");
    std::fprintf(f, "  }\n");
    // The spectrogram with the onsets.
    std::fprintf(f, "  Separator {\n    Translation { translation 0 -0.4 -2.2 }\n"
                    "    DEF SPECTRUM qvData2RNFloat {\n      startTime 0\n      interval 0.05\n"
                    "      dim2 [");
    for (int j = 0; j < bands; ++j)
        std::fprintf(f, "%s%.4g", j == 0 ? " " : ", ", 4.0 * j / (bands - 1));
    std::fprintf(f, " ]\n      data [\n");
    numbers(f, levels, bands);
    std::fprintf(f, " ]\n    }\n    qvData1Marks {\n      color 1 1 1\n      marks [");
    for (size_t k = 0; k < onsets.size(); ++k)
        std::fprintf(f, "%s%g", k == 0 ? " " : ", ", onsets[k]);
    std::fprintf(f, " ]\n    }\n"
                    "    PackedColor {\n      orderedRGBA = qvData2ToPackedColor { qvDataNode USE SPECTRUM maximum 1.2 } . packedColors\n    }\n"
                    "    MaterialBinding { value PER_VERTEX }\n"
                    "    qvSurface { past 2 future 2 }\n  }\n}\n");
    if (std::fclose(f) != 0)
        return 1;
    return 0;
}
