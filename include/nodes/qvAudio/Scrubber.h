// Plays one sound file on the audio device at a speed and from a position
// that change at any moment: forward, backward, slow, fast or standing
// still. An audio thread of its own keeps the device queue filled; every
// change is a command that the audio thread carries out while the caller
// waits. Files of more than 8 channels (in multiples of 8) play over
// several ports of 8 channels whose frame counters are kept aligned.
#ifndef QV_SCRUBBER_H
#define QV_SCRUBBER_H

#include <audio/audio.h>

#include <atomic>
#include <semaphore.h>
#include <thread>

class RingSound;

class Scrubber {
  public:
    Scrubber();
    // Stops playback and ends the audio thread before the object goes.
    ~Scrubber();

    // Loads a file and plays it at the current speed.
    void ReinitSound(const char *name);
    double GetSpeed();
    int SetSpeed(double speed);
    int SetFilePos(long frame);
    int SetFileTime(double seconds);
    long GetFilePos();
    double GetFileTime();
    int SetOutputRate(double rate);
    int SetIORateRatio(double ratio);

    // Of the loaded file and the playback in force.
    double GetIORateRatio() { return fCurrentIORateRatio; }
    double GetSampleRate() { return fSampleRate; }
    long GetFrameCount();
    int GetChannels() { return fChannels; }
    long GetBlockFrames() { return fNFrames; }
    long GetQueueFrames() { return fQueueFrames; }
    int GetPortCount() { return fNPorts; }
    int GetOpenPortCount();
    bool IsPlaying() { return bPlaying; }
    // Commands carried out so far.
    long GetCommandCount() { return fCommandCount; }

    static const int kMaxPorts = 4;
    static const int kChannelsPerPortMax = 8;

  private:
    Scrubber(const Scrubber &) = delete;
    Scrubber &operator=(const Scrubber &) = delete;

    static void *sAudioProcess(void *self);
    void AudioProcess();
    void SpawnAudioProcess();
    void SendCommand(int command);
    void WriteFrames(int port, float *frames, int n);
    void SyncPorts();
    void CheckSync();
    int DoCommand();
    void ReadRateBack();

    RingSound *pSound;
    int fCommandReadySema;  // eventfd: readable when a command is ready
    sem_t fCommandCompletedSema;
    int fCommand;
    std::atomic<double> fCurrentSpeed;
    double fCurrentIORateRatio;
    double fNewSpeed;
    long fNewFilePos;
    std::atomic<bool> bPlaying;
    long fNFrames;
    float *pFrames;
    float *tmpbuf;
    ALport fOutputPort[kMaxPorts];
    long long offset[kMaxPorts];
    const char *fOutputPortName;
    double fQueueSize;
    double fQueueFillSize;
    int fChannels;
    int fChannelsPerPort;
    int fNPorts;
    double fSampleRate;
    int device[kMaxPorts];

    long fQueueFrames;
    double fRequestedOutputRate; // the rate last asked of the device
    std::atomic<long> fCommandCount;
    std::thread fAudioThread;
};

#endif
