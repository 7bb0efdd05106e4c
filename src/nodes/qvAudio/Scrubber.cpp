#include <nodes/qvAudio/Scrubber.h>

#include <nodes/qvAudio/RingSound.h>
#include <qvDebug.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

enum {
    kNoCommand = 0,
    kStop = 1,
    kStart = 2,
    kSpeed = 5,
    kPosition = 6,
    kQuit = -1 // internal: the audio thread ends (destruction)
};

// Beyond this the engine has no ports for a file.
const int kMaxChannels = Scrubber::kMaxPorts * Scrubber::kChannelsPerPortMax;

} // namespace

Scrubber::Scrubber()
    : pSound(new RingSound(4, 4)), fCommandReadySema(-1), fCommand(0), fCurrentSpeed(0.0),
      fCurrentIORateRatio(1.0), fNewSpeed(0.0), fNewFilePos(0), bPlaying(false), fNFrames(0),
      pFrames(nullptr), tmpbuf(nullptr), fOutputPortName("Output Port"), fQueueSize(0.1),
      fQueueFillSize(0.5), fChannels(0), fChannelsPerPort(0), fNPorts(1), fSampleRate(0.0),
      fQueueFrames(0), fRequestedOutputRate(0.0), fCommandCount(0)
{
    for (int i = 0; i < kMaxPorts; ++i) {
        fOutputPort[i] = nullptr;
        offset[i] = 0;
        device[i] = AL_DEFAULT_OUTPUT;
    }
    SpawnAudioProcess();
}

Scrubber::~Scrubber()
{
    if (fAudioThread.joinable()) {
        if (bPlaying)
            SendCommand(kStop);
        SendCommand(kQuit);
        fAudioThread.join();
    }
    for (int i = 0; i < kMaxPorts; ++i)
        if (fOutputPort[i] != nullptr)
            alClosePort(fOutputPort[i]);
    std::free(pFrames);
    std::free(tmpbuf);
    delete pSound;
    if (fCommandReadySema >= 0)
        ::close(fCommandReadySema);
    sem_destroy(&fCommandCompletedSema);
}

void Scrubber::SpawnAudioProcess()
{
    fCommandReadySema = eventfd(0, EFD_CLOEXEC);
    QV_CHECK(fCommandReadySema >= 0);
    QV_CHECK(sem_init(&fCommandCompletedSema, 0, 0) == 0);
    fAudioThread = std::thread(&Scrubber::sAudioProcess, this);
}

void *Scrubber::sAudioProcess(void *self)
{
    ((Scrubber *)self)->AudioProcess();
    return nullptr;
}

void Scrubber::SendCommand(int command)
{
    fCommand = command;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    uint64_t one = 1;
    while (::write(fCommandReadySema, &one, sizeof one) < 0 && errno == EINTR) {
    }
    while (sem_wait(&fCommandCompletedSema) != 0 && errno == EINTR) {
    }
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

int Scrubber::DoCommand()
{
    uint64_t count = 0;
    while (::read(fCommandReadySema, &count, sizeof count) < 0 && errno == EINTR) {
    }
    std::atomic_thread_fence(std::memory_order_seq_cst);
    const int command = fCommand;
    switch (command) {
    case kNoCommand:
        std::fprintf(stderr, " Oops! No command.\n");
        break;
    case kStop:
        bPlaying = false;
        for (int i = 0; i < fNPorts; ++i)
            if (fOutputPort[i] != nullptr) {
                QV_AL_CHECK(alClosePort(fOutputPort[i]));
                fOutputPort[i] = nullptr;
            }
        std::free(pFrames);
        std::free(tmpbuf);
        pFrames = tmpbuf = nullptr;
        fNFrames = 0;
        break;
    case kStart:
        bPlaying = true;
        fNFrames = (long)std::floor(fSampleRate * fQueueSize * fQueueFillSize);
        if (fNFrames > 0 && fChannels > 0) {
            pFrames = (float *)std::calloc((size_t)fNFrames * fChannels, sizeof(float));
            tmpbuf = (float *)std::calloc((size_t)fNFrames * fChannelsPerPort, sizeof(float));
            QV_CHECK(pFrames != nullptr && tmpbuf != nullptr);
        }
        break;
    case kSpeed:
        if (fNewSpeed == 0.0 && pFrames != nullptr && fNFrames > 0) {
            // Hold the last output value instead of repeating the block.
            const float *last = pFrames + (size_t)(fNFrames - 1) * fChannels;
            for (long f = 0; f < fNFrames - 1; ++f)
                std::memcpy(pFrames + (size_t)f * fChannels, last, sizeof(float) * fChannels);
        }
        fCurrentSpeed = fNewSpeed;
        break;
    case kPosition:
        pSound->SetFilePosition(fNewFilePos);
        break;
    case kQuit:
        break;
    default:
        std::fprintf(stderr, " Ignoring unknown command: \"%d\".\n", command);
        break;
    }
    ++fCommandCount;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    sem_post(&fCommandCompletedSema);
    return command;
}

void Scrubber::AudioProcess()
{
    // Raised priority where the system grants it.
    struct sched_param param;
    std::memset(&param, 0, sizeof param);
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

    struct pollfd fds[1 + kMaxPorts];
    int portOf[1 + kMaxPorts];
    bool taken[kMaxPorts] = {false, false, false, false};
    bool needNew = true;

    for (;;) {
        int open = 0;
        for (int i = 0; i < fNPorts; ++i)
            if (fOutputPort[i] != nullptr)
                ++open;
        fds[0].fd = fCommandReadySema;
        fds[0].events = POLLIN;
        fds[0].revents = 0;

        if (!bPlaying || open == 0 || pFrames == nullptr) {
            // Idle, or nothing to play into: wait for commands alone.
            if (poll(fds, 1, -1) < 0)
                continue;
            if (fds[0].revents & POLLIN) {
                int command = DoCommand();
                if (command == kQuit)
                    return;
                if (command == kStart) {
                    needNew = true;
                    std::fill(taken, taken + kMaxPorts, false);
                }
            }
            continue;
        }

        int n = 1;
        for (int i = 0; i < fNPorts; ++i) {
            if (fOutputPort[i] == nullptr || taken[i])
                continue;
            QV_AL_CHECK(alSetFillPoint(fOutputPort[i], fNFrames));
            fds[n].fd = alGetFD(fOutputPort[i]);
            fds[n].events = POLLIN;
            fds[n].revents = 0;
            portOf[n] = i;
            ++n;
        }
        if (poll(fds, (nfds_t)n, -1) < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            int command = DoCommand();
            if (command == kQuit)
                return;
            if (command == kStop)
                continue;
        }
        if (!bPlaying || pFrames == nullptr)
            continue;
        if (needNew) {
            double speed = fCurrentSpeed;
            if (speed != 0.0)
                pSound->GetFrames(pFrames, (int)fNFrames, (float)(speed * fCurrentIORateRatio));
            CheckSync();
            needNew = false;
        }
        for (int e = 1; e < n; ++e) {
            if (!(fds[e].revents & (POLLIN | POLLERR | POLLHUP)))
                continue;
            const int k = portOf[e];
            WriteFrames(k, pFrames, (int)fNFrames);
            taken[k] = true;
        }
        bool all = true;
        for (int i = 0; i < fNPorts; ++i)
            if (fOutputPort[i] != nullptr && !taken[i])
                all = false;
        if (all) {
            std::fill(taken, taken + kMaxPorts, false);
            needNew = true;
        }
    }
}

void Scrubber::WriteFrames(int port, float *frames, int n)
{
    if (fOutputPort[port] == nullptr)
        return;
    if (fNPorts == 1) {
        alWriteFrames(fOutputPort[port], frames, n);
        return;
    }
    const int first = port * fChannelsPerPort;
    for (int f = 0; f < n; ++f)
        std::memcpy(tmpbuf + (size_t)f * fChannelsPerPort,
                    frames + (size_t)f * fChannels + first, sizeof(float) * fChannelsPerPort);
    alWriteFrames(fOutputPort[port], tmpbuf, n);
}

int Scrubber::GetOpenPortCount()
{
    int open = 0;
    for (int i = 0; i < kMaxPorts; ++i)
        if (fOutputPort[i] != nullptr)
            ++open;
    return open;
}

void Scrubber::ReinitSound(const char *name)
{
    if (bPlaying)
        SendCommand(kStop);

    if (!pSound->Initialize(name)) {
        // Nothing to play: the audio thread waits for commands alone.
        fSampleRate = 0.0;
        fChannels = fChannelsPerPort = 0;
        fNPorts = 1;
        fQueueFrames = 0;
        SendCommand(kStart);
        return;
    }
    fSampleRate = pSound->GetSampleRate();
    fChannels = pSound->GetChannels();
    fNPorts = 1;
    fChannelsPerPort = fChannels;
    if (fChannels > kMaxChannels) {
        std::fprintf(stderr, "\"%s\": %d channels are more than %d ports of %d; not played.\n",
                     name, fChannels, kMaxPorts, kChannelsPerPortMax);
        fChannels = fChannelsPerPort = 0;
        SendCommand(kStart);
        return;
    }
    if (std::floor(fQueueSize * fSampleRate * fQueueFillSize) < 1.0) {
        std::fprintf(stderr, "\"%s\": a rate of %g Hz is too low to play; not played.\n", name,
                     fSampleRate);
        fChannels = fChannelsPerPort = 0;
        SendCommand(kStart);
        return;
    }

    ALconfig aconfig = alNewConfig();
    if (fChannels > kChannelsPerPortMax && fChannels % kChannelsPerPortMax == 0) {
        fNPorts = fChannels / kChannelsPerPortMax;
        fChannelsPerPort = kChannelsPerPortMax;
        std::printf("setting up %d ports\n", fNPorts);
        std::fflush(stdout);
    }
    fQueueFrames = (long)std::floor(fQueueSize * fSampleRate);
    QV_AL_CHECK(alSetChannels(aconfig, fChannelsPerPort));
    QV_AL_CHECK(alSetSampFmt(aconfig, 32));
    QV_AL_CHECK(alSetFloatMax(aconfig, 1.0f));
    QV_AL_CHECK(alSetQueueSize(aconfig, floor(fQueueSize * fSampleRate)));

    ALpv pv;
    std::memset(&pv, 0, sizeof pv);
    for (int i = 0; i < fNPorts; ++i) {
        pv.param = AL_RATE;
        pv.value.ll = alDoubleToFixed(fSampleRate);
        QV_AL_CHECK(alSetParams(device[i], &pv, 1));
        QV_AL_CHECK(alSetDevice(aconfig, device[i]));
        fOutputPort[i] = alOpenPort(fOutputPortName, "w", aconfig);
        if (fOutputPort[i] == nullptr)
            std::fprintf(stderr, "error opening port: %s\n", alGetErrorString(errno));
    }
    fRequestedOutputRate = fSampleRate;
    ReadRateBack();
    SyncPorts();
    SendCommand(kStart);
    alFreeConfig(aconfig);
}

void Scrubber::ReadRateBack()
{
    if (fSampleRate <= 0.0)
        return;
    ALpv pv;
    std::memset(&pv, 0, sizeof pv);
    pv.param = AL_RATE;
    const int i = 0; // all ports share one device resource
    QV_AL_CHECK(alGetParams(device[i], &pv, 1));
    double rate = alFixedToDouble(pv.value.ll);
    if (rate > 0.0)
        fCurrentIORateRatio = fSampleRate / rate;
}

double Scrubber::GetSpeed() { return fCurrentSpeed; }

int Scrubber::SetSpeed(double speed)
{
    if (speed == fCurrentSpeed)
        return 0;
    fNewSpeed = speed;
    SendCommand(kSpeed);
    return 1;
}

int Scrubber::SetFilePos(long frame)
{
    if (frame == GetFilePos())
        return 0;
    fNewFilePos = frame;
    SendCommand(kPosition);
    SyncPorts();
    return 1;
}

int Scrubber::SetFileTime(double seconds)
{
    if (!std::isfinite(seconds) || fSampleRate <= 0.0)
        return 0;
    double frames = seconds * fSampleRate;
    long count = pSound->GetFrameCount();
    if (std::fabs(frames) > 1e15 && count > 0)
        frames = std::fmod(frames, (double)count);
    return SetFilePos((long)frames);
}

long Scrubber::GetFilePos() { return pSound->GetFilePosition(); }

long Scrubber::GetFrameCount() { return fSampleRate > 0.0 ? pSound->GetFrameCount() : 0; }

double Scrubber::GetFileTime()
{
    return fSampleRate > 0.0 ? (double)GetFilePos() / fSampleRate : 0.0;
}

int Scrubber::SetOutputRate(double r)
{
    if (fSampleRate <= 0.0 || !(r > 0.0) || !std::isfinite(r))
        return 0;
    // Already running at it, or already asked for it (a device that runs
    // at a rate of its own is not asked again and again).
    if (r == fSampleRate / fCurrentIORateRatio || r == fRequestedOutputRate)
        return 0;
    fRequestedOutputRate = r;
    ALpv pv;
    std::memset(&pv, 0, sizeof pv);
    for (int i = 0; i < fNPorts; ++i) {
        pv.param = AL_RATE;
        pv.value.ll = alDoubleToFixed(r);
        QV_AL_CHECK(alSetParams(device[i], &pv, 1));
    }
    ReadRateBack();
    return 1;
}

int Scrubber::SetIORateRatio(double r)
{
    if (r == fCurrentIORateRatio)
        return 0;
    if (!(r > 0.0) || !std::isfinite(r)) {
        QV_WARNING("SetIORateRatio(): ratio " << r << " is not a positive number; ignored.");
        return 0;
    }
    SetOutputRate(fSampleRate * r);
    return 1;
}

void Scrubber::SyncPorts()
{
    if (fNPorts == 1)
        return;
    for (int i = 0; i < fNPorts; ++i)
        if (fOutputPort[i] == nullptr)
            return; // a port that did not open is not played
    const double rate = fSampleRate / fCurrentIORateRatio;
    const double nsPerFrame = 1e9 / rate;
    stamp_t msc[kMaxPorts], ust[kMaxPorts];
    alZeroFrames(fOutputPort[0], 100);
    for (int i = 0; i < fNPorts; ++i)
        QV_AL_CHECK(alGetFrameTime(fOutputPort[i], &msc[i], &ust[i]));
    offset[0] = 0;
    for (int i = 1; i < fNPorts; ++i)
        offset[i] = msc[i] + (long long)((double)(ust[0] - ust[i]) / nsPerFrame) - msc[0];
    for (int round = 0; round < 100; ++round) {
        for (int i = 0; i < fNPorts; ++i)
            QV_AL_CHECK(alGetFrameNumber(fOutputPort[i], &msc[i]));
        long long target = msc[0];
        for (int i = 1; i < fNPorts; ++i)
            target = std::max(target, msc[i] - offset[i]);
        bool any = false;
        for (int i = 0; i < fNPorts; ++i) {
            long long at = msc[i] - offset[i];
            if (at < target) {
                alZeroFrames(fOutputPort[i], (int)(target - at));
                any = true;
            }
        }
        if (!any)
            break;
    }
}

void Scrubber::CheckSync()
{
    if (fNPorts == 1)
        return;
    stamp_t msc[kMaxPorts];
    for (int i = 0; i < fNPorts; ++i) {
        if (fOutputPort[i] == nullptr)
            return;
        QV_AL_CHECK(alGetFrameNumber(fOutputPort[i], &msc[i]));
    }
    for (int i = 1; i < fNPorts; ++i)
        if (msc[i] - offset[i] != msc[0]) {
            SyncPorts();
            return;
        }
}
