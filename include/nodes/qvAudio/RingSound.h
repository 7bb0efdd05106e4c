// A sound file played at any speed (faster, slower, stopped, backward)
// through a window of 3072 frames around the read position and
// band-limited interpolation with a windowed-sinc kernel whose cut-off
// follows the speed. The file is a loop: past its last frame comes frame
// 0, before frame 0 its last frame.
#ifndef QV_RING_SOUND_H
#define QV_RING_SOUND_H

class qvSoundFile;

class RingSound {
  public:
    // Kernel half-width in input frames, table entries per input frame.
    RingSound(int sincWidth, int sincOversampling);
    ~RingSound();

    // Loads a file and positions at frame 0; nonzero on success.
    int Initialize(const char *name);
    // Centres the window on a frame (taken modulo the frame count, also
    // when negative); 0 on success.
    int SetFilePosition(long frame);
    // The file frame under the read position (0 when empty).
    long GetFilePosition();
    // nFrames interleaved output frames at speed file frames per output
    // frame. Speeds beyond the window's reach are clamped to
    // +-GetMaxSpeed(). Allocates nothing.
    void GetFrames(float *out, const int nFrames, const float speed);

    int GetChannels() { return fChannels; }
    double GetSampleRate() { return fSampleRate; }
    long GetFrameCount() { return fFrameCount; }
    float GetMaxSpeed() const { return fMaxSpeed; }

    // The kernel table: kSincWidth * kSincOversampling + 1 entries.
    const float *GetSincTable() const { return pSincTable; }
    int GetSincTableSize() const { return kSincWidth * kSincOversampling + 1; }

    static const int kWindowFrames = 3072;
    static const int kRotateFrames = 1024;

  private:
    RingSound(const RingSound &) = delete;
    RingSound &operator=(const RingSound &) = delete;

    void ResetData();
    int ReadRawFrames(int firstWindowFrame, int count);
    void RotateRawFrames(long n);
    void EnsureRawFramesIdxInbound();
    void MakeSincTable();
    float Weight(float t) const;

    float *pSincTable;
    float *pSincTableDiffs; // beyond the last interval: 0
    int kSincWidth;
    int kSincOversampling;
    qvSoundFile *fSoundFile;
    long fFrameCount;
    double fSampleRate;
    int fChannels;
    float *pRawFrames;
    float fCurRawFramesIdx;
    long fFileChunkStartFrame;
    long fFileChunkEndFrame;

    float fMaxSpeed;
    float *pWeights; // per output frame: left weights, then right weights
};

#endif
