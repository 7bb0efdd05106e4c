// Reading sound files: the formats of the audio-file library, delivered
// as interleaved frames in a chosen ("virtual") sample format, channel
// count and rate. Channels are mixed by the audio-file library; a rate
// other than the file's is reached by resampling through soxr.
//
// Frame numbers given to seekFrame and counts returned by readFrames are
// in virtual frames (frames at the virtual rate). Every failure is
// recorded for dmGetError (number and text).
//
// Uncompressed WAVE, AIFF(-C), NeXT, IRCAM and CAF files delivered as
// float frames of all their channels at their own rate are read straight
// from the file into a buffer made at opening: seeking and reading them
// allocate nothing (the real-time reader relies on it).
#ifndef QV_SOUND_FILE_H
#define QV_SOUND_FILE_H

#include <vector>

typedef struct _AFfilehandle *AFfilehandle;
struct soxr;

class qvSoundFile {
  public:
    enum SampleFormat {
        FLOAT32, // floats in -1 ... 1
        INT16    // signed 16-bit integers
    };
    enum Quality {
        QUICK, // soxr's quick cubic interpolation
        HIGH   // soxr's high quality (the default)
    };

    // Opens a sound file for reading; none (error recorded) when it is not
    // a sound file the library knows.
    static qvSoundFile *open(const char *path);
    ~qvSoundFile();

    // Of the file itself.
    long long getFrameCount() const { return frameCount; }
    double getRate() const { return rate; }
    int getChannels() const { return channels; }

    // The delivery; each answers 0 on success, -1 on failure.
    int setVirtualSampleFormat(SampleFormat format);
    // Mixes (n < channels: equal parts of all channels into each) or
    // spreads channels as the audio-file library's channel matrix says.
    int setVirtualChannels(int n);
    int setVirtualRate(double rate, Quality quality = HIGH);

    SampleFormat getVirtualSampleFormat() const { return format; }
    int getVirtualChannels() const { return vchannels; }
    double getVirtualRate() const { return vrate; }
    // Frames delivered from start to end at the virtual rate.
    long long getVirtualFrameCount() const;
    // Size in bytes of one delivered frame.
    int getVirtualFrameSize() const;

    // Positions the next read at a virtual frame; answers the frame, or -1.
    long long seekFrame(long long frame);
    // Reads up to count frames into buffer; answers the frames delivered
    // (fewer only at the end of the file), or -1 on failure.
    long long readFrames(void *buffer, long long count);

  private:
    qvSoundFile() = default;
    qvSoundFile(const qvSoundFile &) = delete;
    qvSoundFile &operator=(const qvSoundFile &) = delete;

    bool resampling() const { return resampler != nullptr; }
    bool direct() const
    {
        return fd >= 0 && format == FLOAT32 && vchannels == channels && !resampling();
    }
    void setUpDirect(const char *path);
    long long readDirect(float *out, long long count);
    void convertDirect(const unsigned char *raw, float *out, long long samples) const;
    long long readFloats(float *out, long long count);
    long long readResampled(float *out, long long count);
    void dropResampler();

    AFfilehandle handle = nullptr;
    long long frameCount = 0;
    double rate = 0.0;
    int channels = 0;

    SampleFormat format = FLOAT32;
    int vchannels = 0;
    double vrate = 0.0;
    Quality quality = HIGH;

    // Direct reading: the file's own layout of samples.
    int fd = -1;
    long long dataOffset = 0;
    int bytesPerSample = 0;
    int sampleFormat = 0; // the audio-file library's AF_SAMPFMT_*
    bool bigEndian = false;
    double slope = 1.0, intercept = 0.0;
    std::vector<unsigned char> rawBuffer;
    bool libraryInStep = true; // the library's read position is position

    soxr *resampler = nullptr;
    bool inputDone = false;
    long long position = 0; // next virtual frame
    std::vector<float> inBuffer, outBuffer;
};

#endif
