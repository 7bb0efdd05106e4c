// The renderer programs as a user meets them: command lines, messages and
// statuses, and movies rendered with -b under Xvfb, checked with ffprobe
// and frames decoded by ffmpeg. The renders run in parallel once for the
// whole program.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

std::string scene(const std::string &name)
{
    return sourcePath("tests/data/" + name);
}

struct Render {
    std::string dir;   // working directory of the run
    std::string movie; // path of the movie written
    ProgramResult result;
};

// Renders with -b in a directory of its own; output names the movie
// (relative to that directory), empty for the default.
Render render(const std::string &program, const std::string &args,
              const std::string &output = "")
{
    Render r;
    r.dir = makeTempDir();
    r.movie = r.dir + "/" + (output.empty() ? "test.mv" : output);
    std::string out = output.empty() ? "" : " -o " + output;
    r.result = runProgram("cd '" + r.dir + "' && '" + binaryPath(program) + "' -b" + out + " " + args);
    return r;
}

std::string probe(const std::string &path, const std::string &entries)
{
    return runProgram("ffprobe -v error -count_frames -show_entries " + entries +
                      " -of default=nw=1 '" + path + "'")
        .out;
}

int frameCount(const std::string &path)
{
    std::string out = probe(path, "stream=nb_read_frames");
    size_t at = out.find("nb_read_frames=");
    return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + 15);
}

// Frame n of the movie as 640 x 480 RGB rows, top row first.
std::string frame(const std::string &path, int n)
{
    return runProgram("ffmpeg -v error -i '" + path + "' -vf 'select=eq(n\\," + std::to_string(n) +
                      ")' -vsync 0 -frames:v 1 -f rawvideo -pix_fmt rgb24 -")
        .out;
}

// The scene time a frame shows: the raised step of the red line (rows
// 150 ... 170, a value of 1 being 80 pixels above the middle) stands at
// x = 2.02 - time, 80 pixels a unit from the middle column.
double timeShown(const std::string &rgb)
{
    double sum = 0;
    int n = 0;
    for (size_t row = 150; row <= 170; ++row)
        for (size_t col = 0; col < 640; ++col) {
            size_t i = (row * 640 + col) * 3;
            if (i + 2 < rgb.size() && (unsigned char)rgb[i] > 150 && (unsigned char)rgb[i + 1] < 100)
                sum += (double)col + 0.5, ++n;
        }
    return n > 0 ? 2.02 - (sum / n - 320.0) / 80.0 : -99.0;
}

// A scene that shows and plays a 441 Hz sine of 4 s (22050 Hz, mono),
// made once; empty when it cannot be made.
std::string soundScene()
{
    static std::string path;
    if (!path.empty())
        return path;
    std::string dir = makeTempDir();
    if (runProgram("sox -n -r 22050 -c 1 -b 16 '" + dir + "/sine.wav' synth 4 sine 441 vol 0.5").status != 0)
        return "";
    std::string text = "#Inventor V2.1 ascii\nSeparator {\n qvSuite {}\n qvTime { speed 0 }\n"
                       " OrthographicCamera { position 0 0 5 height 6 }\n"
                       // Named relative to the scene: found beside it.
                       " qvData1RFloatFile { filename \"sine.wav\" }\n"
                       " qvLine { past 1 future 1 }\n qvAudio {}\n}\n";
    FILE *f = std::fopen((dir + "/sine.iv").c_str(), "w");
    if (f == nullptr)
        return "";
    std::fputs(text.c_str(), f);
    std::fclose(f);
    path = dir + "/sine.iv";
    return path;
}

// The audio track as 16-bit samples.
std::vector<short> audioSamples(const std::string &movie)
{
    std::string raw = runProgram("ffmpeg -v error -i '" + movie + "' -map 0:a -f s16le -").out;
    std::vector<short> s(raw.size() / 2);
    std::memcpy(s.data(), raw.data(), s.size() * 2);
    return s;
}

// Frequency from the zero crossings.
double frequency(const std::vector<short> &s, double rate)
{
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i)
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++crossings;
    return s.empty() ? 0 : crossings / 2.0 / (s.size() / rate);
}

// The renders of the cases, each made when a case first needs it (ctest
// runs every case in a process of its own).
class Renders : public ::testing::Test {
  protected:
    static const Render &get(const std::string &key)
    {
        static std::map<std::string, Render> done;
        struct Job { const char *program; std::string args, output; };
        static const std::map<std::string, Job> jobs = {
            {"defaults", {"qvRenderer", scene("movie_moving.iv"), ""}},
            {"span", {"qvRenderer", "-t 1 -l 2 -s 0.5 " + scene("movie_moving.iv"), "span.mov"}},
            {"fast", {"qvRendererTest", "-s 2 " + scene("movie_moving.iv"), "fast.mv"}},
            {"realtime", {"qvRenderer", scene("movie_realtime.iv"), "rt.mv"}},
            {"nodir", {"qvRenderer", scene("movie_moving.iv"), "missing/x.mv"}},
            {"sound", {"qvRenderer", "-t 1 -l 1 " + soundScene(), "sound.mov"}},
            {"sound2", {"qvRenderer", "-t 1 -l 1 -s 2 " + soundScene(), "sound2.mov"}},
        };
        auto it = done.find(key);
        if (it == done.end()) {
            const Job &j = jobs.at(key);
            it = done.emplace(key, render(j.program, j.args, j.output)).first;
        }
        return it->second;
    }
};

TEST_F(Renders, DefaultsGiveThirteenJpegFramesAt30FpsInTestMv)
{
    const Render &r = get("defaults");
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    std::string info = probe(r.movie, "stream=codec_type,codec_name,width,height,r_frame_rate");
    EXPECT_EQ(info, "codec_name=mjpeg\ncodec_type=video\nwidth=640\nheight=480\nr_frame_rate=30/1\n");
    EXPECT_EQ(frameCount(r.movie), 13);
    // The diagnostics of a render.
    const std::string &err = r.result.err;
    EXPECT_NE(err.find("Cant find a qvAudio node, so no audio track!!!!!!!!!!!!!!!!!!!!!!\n"), std::string::npos);
    EXPECT_NE(err.find("ID_Nr: 23 Name: TurboJPEG JPEG compressor\nSpeed Not Real Time\n"
                       "Code Direction Encode\nVersion: 1\nRevision: 0\n"), std::string::npos) << err;
    EXPECT_EQ(countOccurrences(err, "_grabImage GL : no error\n"), 13);
    EXPECT_EQ(countOccurrences(err, "rendered frame "), 1); // one line per scene second
    EXPECT_NE(err.find("movie written: test.mv"), std::string::npos);
}

TEST_F(Renders, EachFrameShowsItsOwnTimeTheRightWayUp)
{
    const Render &r = get("defaults");
    for (int n : {0, 1, 6, 12}) {
        std::string rgb = frame(r.movie, n);
        ASSERT_EQ(rgb.size(), 640u * 480 * 3) << n;
        EXPECT_NEAR(timeShown(rgb), n / 30.0, 0.01) << n;
        // The green bar is at the top.
        const unsigned char *top = (const unsigned char *)&rgb[(40 * 640 + 320) * 3];
        const unsigned char *bottom = (const unsigned char *)&rgb[(440 * 640 + 320) * 3];
        EXPECT_GT(top[1], 200) << n;
        EXPECT_LT(bottom[1], 50) << n;
    }
}

TEST_F(Renders, StartLengthAndSpeedSetTheFrames)
{
    const Render &span = get("span");
    ASSERT_EQ(span.result.status, 0) << span.result.err;
    EXPECT_EQ(frameCount(span.movie), 121);
    EXPECT_NEAR(timeShown(frame(span.movie, 0)), 1.0, 0.01);
    EXPECT_NEAR(timeShown(frame(span.movie, 60)), 2.0, 0.01);
    EXPECT_NEAR(timeShown(frame(span.movie, 120)), 3.0, 0.01);
    // One progress line per second of scene time.
    EXPECT_EQ(countOccurrences(span.result.err, "rendered frame "), 3) << span.result.err;

    const Render &fast = get("fast");
    ASSERT_EQ(fast.result.status, 0) << fast.result.err;
    EXPECT_EQ(frameCount(fast.movie), 7);
    EXPECT_NEAR(timeShown(frame(fast.movie, 6)), 0.4, 0.01);
}

TEST_F(Renders, SceneWithoutClockIsDrivenThroughRealTime)
{
    const Render &r = get("realtime");
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    EXPECT_EQ(frameCount(r.movie), 13);
    EXPECT_EQ(probe(r.movie, "stream=codec_type"), "codec_type=video\n"); // no audio track
}

TEST_F(Renders, OutputNameIsTheMovieFile)
{
    const Render &r = get("span");
    EXPECT_EQ(runProgram("test -e '" + r.dir + "/test.mv'").status, 1);
    EXPECT_NE(r.result.err.find("movie written: span.mov"), std::string::npos);
    // A name in a directory that does not exist gets the movie report.
    const Render &f = get("nodir");
    EXPECT_EQ(f.result.status, 1);
    EXPECT_NE(f.result.err.find("qvRendererViewer.cpp: cannot create movie file 'missing/x.mv': "
                                "No such file or directory\nCall: ("), std::string::npos) << f.result.err;
    EXPECT_NE(f.result.err.find(") mvCreateFile(movieName, thisR->_movieParams, 0L, &thisR->_movie)\n"),
              std::string::npos) << f.result.err;
}

TEST_F(Renders, AudioTrackCoversTheSpanAndPlaysAtTheSpeed)
{
    ASSERT_FALSE(soundScene().empty()) << "sox could not make the sine file";
    const Render &r = get("sound");
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    EXPECT_EQ(probe(r.movie, "stream=codec_type,codec_name,sample_rate,channels"),
              "codec_name=mjpeg\ncodec_type=video\n"
              "codec_name=pcm_s16le\ncodec_type=audio\nsample_rate=22050\nchannels=1\n");
    EXPECT_EQ(frameCount(r.movie), 31);
    std::vector<short> s = audioSamples(r.movie);
    EXPECT_EQ(s.size(), 22050u); // one second from 1 s on
    EXPECT_NEAR(frequency(s, 22050), 441, 5);

    // At speed 2 the same second of scene time lasts half a second and
    // sounds an octave higher.
    const Render &fast = get("sound2");
    ASSERT_EQ(fast.result.status, 0) << fast.result.err;
    EXPECT_EQ(frameCount(fast.movie), 16);
    std::vector<short> f = audioSamples(fast.movie);
    EXPECT_NEAR((double)f.size(), 11025, 2);
    EXPECT_NEAR(frequency(f, 22050), 882, 10);
}

struct Cli {
    std::string args;
    int status;
    std::string out, errPart;
};

TEST(RendererCommandLine, UsageOptionsAndStatuses)
{
    std::string usage = " -t <startTime> -l <length> -s <speed> -o <output> -F <format> file.iv\n";
    for (const char *program : {"qvRenderer", "qvRendererTest"}) {
        std::string path = binaryPath(program);
        std::string dir = makeTempDir();
        runProgram("printf 'Separator { Cube {' > '" + dir + "/broken.iv'");
        runProgram("printf 'not a scene' > '" + dir + "/text.iv'");
        Cli cases[] = {
            {"", 1, "Usage: " + path + usage, ""},
            {"-x " + scene("movie_moving.iv"), 255, "", "unknown option120\n"},
            {"-t 1 -l 2 -s 3 -o out.mv -F fmt '" + dir + "/missing.iv'", 1, "",
             "file in: " + dir + "/missing.iv\n"},
            {"'" + dir + "/broken.iv'", 1, "", "file in: " + dir + "/broken.iv\n"},
            {"'" + dir + "/text.iv'", 1, "", "file in: " + dir + "/text.iv\n"},
        };
        for (const Cli &c : cases) {
            ProgramResult r = runProgram("'" + path + "' " + c.args);
            EXPECT_EQ(r.status, c.status) << program << " " << c.args << "\n" << r.err;
            EXPECT_EQ(r.out, c.out) << program << " " << c.args;
            EXPECT_EQ(r.err.rfind(c.errPart, 0), 0u) << program << " " << c.args << "\n" << r.err;
        }
        runProgram("rm -rf '" + dir + "'");
    }
}

} // namespace
