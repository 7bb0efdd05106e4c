// The movie writer, checked with ffprobe and ffmpeg.
#include "TestSupport.h"

#include <dmedia/dm_imageconvert.h>
#include <movie/movie.h>
#include <qvDebug.h>

#include <turbojpeg.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> jpegFrame(int w, int h, unsigned char grey)
{
    std::vector<unsigned char> rgb((size_t)w * h * 3, grey);
    tjhandle tj = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, rgb.data(), w, 0, h, TJPF_RGB, &out, &size, TJSAMP_422, 75, 0);
    std::vector<unsigned char> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return jpeg;
}

std::string probe(const std::string &path, const std::string &entries)
{
    return runProgram("ffprobe -v error -count_packets -show_entries " + entries +
                      " -of default=nw=1 '" + path + "'")
        .out;
}

struct Movie {
    MVid movie = nullptr, image = nullptr, audio = nullptr;
    DMparams *mp = nullptr, *ip = nullptr, *ap = nullptr;
    Movie() { dmParamsCreate(&mp), dmParamsCreate(&ip), dmParamsCreate(&ap); }
    ~Movie() { dmParamsDestroy(mp), dmParamsDestroy(ip), dmParamsDestroy(ap); }
    DMstatus create(const std::string &path)
    {
        mvSetMovieDefaults(mp, MV_FORMAT_SGI_3);
        dmParamsSetEnum(mp, MV_LOOP_MODE, MV_LOOP_CONTINUOUSLY);
        return mvCreateFile(path.c_str(), mp, nullptr, &movie);
    }
    DMstatus addImage(int w = 640, int h = 480)
    {
        dmSetImageDefaults(ip, w, h, DM_IMAGE_PACKING_RGBA);
        dmParamsSetString(ip, DM_IMAGE_COMPRESSION, DM_IMAGE_JPEG);
        dmParamsSetFloat(ip, DM_IMAGE_RATE, 30.0);
        dmParamsSetEnum(ip, DM_IMAGE_PACKING, DM_IMAGE_PACKING_CbYCrY);
        dmParamsSetEnum(ip, DM_IMAGE_ORIENTATION, DM_IMAGE_TOP_TO_BOTTOM);
        return mvAddTrack(movie, DM_IMAGE, ip, nullptr, &image);
    }
};

TEST(Movie, QuickTimeWithJpegFramesAsGivenAndPcmAudio)
{
    std::string dir = makeTempDir();
    std::string path = dir + "/out.mv"; // the name does not choose the container
    Movie m;
    ASSERT_EQ(m.create(path), DM_SUCCESS) << mvGetErrorStr(mvGetErrno());
    ASSERT_EQ(m.addImage(), DM_SUCCESS) << mvGetErrorStr(mvGetErrno());
    std::vector<std::vector<unsigned char>> frames;
    for (int i = 0; i < 13; ++i) {
        frames.push_back(jpegFrame(640, 480, (unsigned char)(i * 19)));
        ASSERT_EQ(mvInsertCompressedImage(m.image, i, frames.back().size(), frames.back().data()),
                  DM_SUCCESS);
    }
    EXPECT_DOUBLE_EQ(mvGetImageRate(m.image), 30.0);
    EXPECT_EQ(mvGetTrackLength(m.image), 13);

    // The audio track comes after the frames, as the renderer adds it.
    dmSetAudioDefaults(m.ap, 16, 22050.0, 2);
    ASSERT_EQ(mvAddTrack(m.movie, DM_AUDIO, m.ap, nullptr, &m.audio), DM_SUCCESS);
    std::vector<int16_t> samples(1024 * 2, 1000);
    size_t total = 22050 * 13 / 30; // the span of the images
    for (size_t done = 0; done < total;) {
        size_t n = std::min<size_t>(1024, total - done);
        ASSERT_EQ(mvAppendFrames(m.audio, (MVframe)n, samples.size() * 2, samples.data()), DM_SUCCESS);
        done += n;
    }
    ASSERT_EQ(mvClose(m.movie), DM_SUCCESS) << mvGetErrorStr(mvGetErrno());

    std::string info = probe(path, "format=format_name:stream=codec_type,codec_name,width,height,"
                                   "r_frame_rate,nb_read_packets,sample_rate,channels,bits_per_sample");
    EXPECT_NE(info.find("codec_name=mjpeg\ncodec_type=video\nwidth=640\nheight=480\n"), std::string::npos) << info;
    EXPECT_NE(info.find("r_frame_rate=30/1"), std::string::npos) << info;
    EXPECT_NE(info.find("nb_read_packets=13"), std::string::npos) << info;
    EXPECT_NE(info.find("codec_name=pcm_s16le\ncodec_type=audio\nsample_rate=22050\nchannels=2\n"
                        "bits_per_sample=16"), std::string::npos) << info;
    EXPECT_NE(info.find("format_name=mov,mp4"), std::string::npos) << info;
    std::string duration = probe(path, "stream=duration");
    EXPECT_NE(duration.find("duration=0.433333"), std::string::npos) << duration;

    // The frames are stored byte for byte as given.
    ProgramResult copy = runProgram("ffmpeg -v error -i '" + path + "' -map 0:v -c copy -f image2 '" +
                                    dir + "/f%02d.jpg'");
    ASSERT_EQ(copy.status, 0) << copy.err;
    for (int i : {0, 6, 12}) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%02d.jpg", i + 1);
        std::ifstream in(dir + name, std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(bytes, frames[(size_t)i]) << i;
    }
    runProgram("rm -rf '" + dir + "'");
}

TEST(Movie, InsertingBeforeAFramePutsItThere)
{
    std::string dir = makeTempDir();
    Movie m;
    ASSERT_EQ(m.create(dir + "/o.mov"), DM_SUCCESS);
    ASSERT_EQ(m.addImage(64, 48), DM_SUCCESS);
    std::vector<unsigned char> dark = jpegFrame(64, 48, 0), light = jpegFrame(64, 48, 250);
    mvInsertCompressedImage(m.image, 0, dark.size(), dark.data());
    mvInsertCompressedImage(m.image, 0, light.size(), light.data());
    ASSERT_EQ(mvClose(m.movie), DM_SUCCESS);
    ProgramResult r = runProgram("ffmpeg -v error -i '" + dir + "/o.mov' -vframes 1 -f rawvideo -pix_fmt gray -");
    ASSERT_EQ(r.out.size(), 64u * 48);
    EXPECT_GT((unsigned char)r.out[100], 200);
    runProgram("rm -rf '" + dir + "'");
}

TEST(Movie, RefusesWhatItCannotWrite)
{
    std::string dir = makeTempDir();
    Movie m;
    EXPECT_EQ(m.create("/nonexistent/dir/x.mv"), DM_FAILURE);
    EXPECT_EQ(mvGetErrno(), MV_ERR_FILE);
    EXPECT_NE(std::string(mvGetErrorStr(mvGetErrno())).find("/nonexistent/dir/x.mv"), std::string::npos);

    ASSERT_EQ(m.create(dir + "/bad.mv"), DM_SUCCESS);
    dmSetImageDefaults(m.ip, 640, 480, DM_IMAGE_PACKING_RGBA);
    dmParamsSetFloat(m.ip, DM_IMAGE_RATE, 30.0);
    EXPECT_EQ(mvAddTrack(m.movie, DM_IMAGE, m.ip, nullptr, &m.image), DM_FAILURE); // not JPEG
    ASSERT_EQ(m.addImage(), DM_SUCCESS);
    EXPECT_EQ(m.addImage(), DM_FAILURE); // one image track
    std::vector<unsigned char> frame = jpegFrame(640, 480, 9), small = jpegFrame(320, 240, 9);
    EXPECT_EQ(mvInsertCompressedImage(m.image, 1, frame.size(), frame.data()), DM_FAILURE);
    EXPECT_EQ(mvGetErrno(), MV_ERR_INDEX);
    EXPECT_EQ(mvInsertCompressedImage(m.image, 0, small.size(), small.data()), DM_FAILURE);
    std::vector<unsigned char> junk(1000, 7);
    EXPECT_EQ(mvInsertCompressedImage(m.image, 0, junk.size(), junk.data()), DM_FAILURE);
    EXPECT_EQ(mvAppendFrames(m.image, 1, 4, junk.data()), DM_FAILURE);
    dmSetAudioDefaults(m.ap, 16, 8000.0, 1);
    ASSERT_EQ(mvAddTrack(m.movie, DM_AUDIO, m.ap, nullptr, &m.audio), DM_SUCCESS);
    EXPECT_EQ(mvAppendFrames(m.audio, 10, 19, junk.data()), DM_FAILURE); // buffer too short
    EXPECT_EQ(mvGetImageRate(m.audio), 0.0);
    EXPECT_EQ(mvClose(m.movie), DM_SUCCESS);
    runProgram("rm -rf '" + dir + "'");
}

TEST(MovieDeathTest, FailedCallGivesTheMovieReport)
{
    EXPECT_EXIT(
        {
            DMparams *p;
            dmParamsCreate(&p);
            mvSetMovieDefaults(p, MV_FORMAT_SGI_3);
            MVid movie;
            QV_MV_CHECK(mvCreateFile("/nonexistent/test.mv", p, 0L, &movie));
        },
        ::testing::ExitedWithCode(1),
        "test_movie.cpp: cannot create movie file '/nonexistent/test.mv': No such file or directory\n"
        "Call: \\([0-9]+\\) mvCreateFile\\(\"/nonexistent/test.mv\", p, 0L, &movie\\)");
}

} // namespace
