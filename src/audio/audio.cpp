#include <audio/audio.h>

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/timerfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct qvALconfig {
    int channels = 2;
    int sampFmt = AL_SAMPFMT_FLOAT;
    double floatMax = 1.0;
    long long queueSize = 0; // 0: half a second at the device rate
    int device = AL_DEFAULT_OUTPUT;
};

struct qvALport {
    bool paced = false;
    int channels = 0;
    long long queueSize = 0;
    int device = AL_DEFAULT_OUTPUT;
    float scale = 1.0f; // 1 / float maximum
    int fillPoint = 0;
    int timerFd = -1;
    double rate = 0.0; // the rate the device runs at
    double asked = 0.0; // the rate last asked for
    std::mutex lock;

    // Paced device: frame clock msc = mscBase + (now - ustBase) * rate.
    std::string basePath;
    int recordFd = -1;
    double fixedRate = 0.0; // the device's own rate, or 0 (takes any)
    stamp_t ustBase = 0;
    long long mscBase = 0;
    long long writePos = 0; // frame number of the next frame written
    std::vector<float> zeros;
    std::vector<float> scaled;

    // ALSA device.
    snd_pcm_t *pcm = nullptr;
    bool int16 = false;
    long long written = 0;
    std::vector<short> converted;
};

namespace {

std::mutex registryLock;
std::map<int, double> requestedRates;
std::vector<qvALport *> openPorts;

thread_local int lastErrorNumber = 0;
thread_local char lastErrorText[DM_MAX_ERROR_DETAIL] = "";

int fail(int number, const char *format, ...) __attribute__((format(printf, 2, 3)));

int fail(int number, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(lastErrorText, sizeof lastErrorText, format, args);
    va_end(args);
    lastErrorNumber = number;
    dmSetError(number, "%s", lastErrorText);
    errno = number;
    return -1;
}

stamp_t now()
{
    stamp_t t = 0;
    dmGetUST(&t);
    return t;
}

double rateOf(int resource)
{
    auto it = requestedRates.find(resource);
    return it != requestedRates.end() ? it->second : 44100.0;
}

// ---- paced device ----

long long pacedMsc(const qvALport *p, stamp_t t)
{
    return p->mscBase + (long long)std::floor((double)(t - p->ustBase) * p->rate / 1e9);
}

long long pacedFillable(const qvALport *p, long long msc)
{
    long long pending = std::max(0LL, p->writePos - msc);
    return std::max(0LL, p->queueSize - pending);
}

void pacedRebase(qvALport *p, double rate)
{
    stamp_t t = now();
    p->mscBase = pacedMsc(p, t);
    p->ustBase = t;
    p->rate = rate;
}

bool appendRecord(qvALport *p, const float *samples, long long frames)
{
    const char *bytes = (const char *)samples;
    size_t left = (size_t)frames * p->channels * sizeof(float);
    while (left > 0) {
        ssize_t n = ::write(p->recordFd, bytes, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        left -= (size_t)n;
    }
    return true;
}

// Plays frames (none: silence) on the paced device, waiting for room.
int pacedWrite(qvALport *p, std::unique_lock<std::mutex> &held, const float *frames,
               long long count)
{
    long long done = 0;
    while (done < count) {
        long long msc = pacedMsc(p, now());
        if (p->writePos < msc)
            p->writePos = msc; // the queue ran dry: the device played silence
        long long room = pacedFillable(p, msc);
        long long k = std::min(room, count - done);
        if (k > 0) {
            const float *src;
            if (frames == nullptr) {
                p->zeros.assign((size_t)k * p->channels, 0.0f);
                src = p->zeros.data();
            } else if (p->scale != 1.0f) {
                p->scaled.assign(frames + done * p->channels,
                                 frames + (done + k) * p->channels);
                for (float &x : p->scaled)
                    x *= p->scale;
                src = p->scaled.data();
            } else {
                src = frames + done * p->channels;
            }
            if (!appendRecord(p, src, k))
                return fail(AL_BAD_DEVICE_ACCESS, "cannot append to \"%s\": %s",
                            p->basePath.c_str(), std::strerror(errno));
            p->writePos += k;
            done += k;
            continue;
        }
        long long need = std::min(count - done, p->queueSize) - room;
        double seconds = std::max(need, 1LL) / p->rate;
        held.unlock();
        std::this_thread::sleep_for(std::chrono::nanoseconds((long long)(seconds * 1e9) + 1));
        held.lock();
    }
    return 0;
}

// ---- ALSA device ----

int alsaConfigure(qvALport *p, double rate)
{
    snd_pcm_hw_params_t *hw;
    snd_pcm_hw_params_alloca(&hw);
    int err = snd_pcm_hw_params_any(p->pcm, hw);
    if (err >= 0)
        err = snd_pcm_hw_params_set_access(p->pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (err < 0)
        return fail(AL_BAD_DEVICE_ACCESS, "%s", snd_strerror(err));
    p->int16 = false;
    if (snd_pcm_hw_params_set_format(p->pcm, hw, SND_PCM_FORMAT_FLOAT) < 0) {
        err = snd_pcm_hw_params_set_format(p->pcm, hw, SND_PCM_FORMAT_S16);
        if (err < 0)
            return fail(AL_BAD_SAMPFMT, "%s", snd_strerror(err));
        p->int16 = true;
    }
    err = snd_pcm_hw_params_set_channels(p->pcm, hw, (unsigned)p->channels);
    if (err < 0)
        return fail(AL_BAD_CHANNELS, "%d channels: %s", p->channels, snd_strerror(err));
    unsigned r = (unsigned)std::lround(rate);
    int dir = 0;
    err = snd_pcm_hw_params_set_rate_near(p->pcm, hw, &r, &dir);
    if (err < 0)
        return fail(AL_BAD_RATE, "rate %g: %s", rate, snd_strerror(err));
    snd_pcm_uframes_t buffer = (snd_pcm_uframes_t)p->queueSize;
    err = snd_pcm_hw_params_set_buffer_size_near(p->pcm, hw, &buffer);
    if (err < 0)
        return fail(AL_BAD_QSIZE, "queue of %lld frames: %s", p->queueSize, snd_strerror(err));
    err = snd_pcm_hw_params(p->pcm, hw);
    if (err < 0)
        return fail(AL_BAD_DEVICE_ACCESS, "%s", snd_strerror(err));
    unsigned actual = r;
    snd_pcm_hw_params_get_rate(hw, &actual, &dir);
    p->rate = actual;
    snd_pcm_uframes_t actualBuffer = buffer;
    snd_pcm_hw_params_get_buffer_size(hw, &actualBuffer);
    p->queueSize = (long long)actualBuffer;

    snd_pcm_sw_params_t *sw;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(p->pcm, sw) >= 0) {
        snd_pcm_sw_params_set_start_threshold(p->pcm, sw, std::max<snd_pcm_uframes_t>(1, actualBuffer / 2));
        snd_pcm_sw_params(p->pcm, sw);
    }
    return 0;
}

long long alsaFillable(qvALport *p)
{
    snd_pcm_sframes_t avail = snd_pcm_avail_update(p->pcm);
    if (avail < 0) {
        snd_pcm_recover(p->pcm, (int)avail, 1);
        avail = snd_pcm_avail_update(p->pcm);
    }
    if (avail < 0)
        return p->queueSize;
    return std::min<long long>(avail, p->queueSize);
}

int alsaWrite(qvALport *p, const float *frames, long long count)
{
    const long long chunk = 4096;
    std::vector<float> &tmp = p->zeros;
    long long done = 0;
    while (done < count) {
        long long k = std::min(chunk, count - done);
        const void *src;
        if (frames == nullptr || p->scale != 1.0f || p->int16) {
            tmp.assign((size_t)k * p->channels, 0.0f);
            if (frames != nullptr)
                for (size_t i = 0; i < tmp.size(); ++i)
                    tmp[i] = frames[done * p->channels + (long long)i] * p->scale;
            src = tmp.data();
            if (p->int16) {
                p->converted.resize(tmp.size());
                for (size_t i = 0; i < tmp.size(); ++i)
                    p->converted[i] = (short)std::lround(std::clamp(tmp[i], -1.0f, 32767.0f / 32768.0f) * 32768.0f);
                src = p->converted.data();
            }
        } else {
            src = frames + done * p->channels;
        }
        long long off = 0;
        while (off < k) {
            const char *base = (const char *)src + off * p->channels * (p->int16 ? 2 : 4);
            snd_pcm_sframes_t n = snd_pcm_writei(p->pcm, base, (snd_pcm_uframes_t)(k - off));
            if (n < 0) {
                if (snd_pcm_recover(p->pcm, (int)n, 1) < 0)
                    return fail(AL_BAD_DEVICE_ACCESS, "%s", snd_strerror((int)n));
                continue;
            }
            off += n;
        }
        p->written += k;
        done += k;
    }
    return 0;
}

// ---- both ----

long long fillable(qvALport *p)
{
    return p->paced ? pacedFillable(p, pacedMsc(p, now())) : alsaFillable(p);
}

// Arms the descriptor for the moment the fill point fits.
void armTimer(qvALport *p)
{
    long long room = fillable(p);
    long long need = std::min<long long>(p->fillPoint, p->queueSize) - room;
    long long ns = need <= 0 ? 1 : (long long)std::ceil(need * 1e9 / p->rate);
    struct itimerspec due;
    std::memset(&due, 0, sizeof due);
    due.it_value.tv_sec = ns / 1000000000LL;
    due.it_value.tv_nsec = ns % 1000000000LL;
    timerfd_settime(p->timerFd, 0, &due, nullptr);
}

// Parses QV_AUDIO_DEVICE; returns false for an ALSA name.
bool pacedDevice(const std::string &deviceName, std::string &path, double &fixedRate)
{
    fixedRate = 0.0;
    if (deviceName.compare(0, 5, "paced") != 0)
        return false;
    std::string rest = deviceName.substr(5);
    if (rest.compare(0, 6, ",rate=") == 0) {
        size_t colon = rest.find(':');
        fixedRate = std::atof(rest.substr(6, colon - 6).c_str());
        rest = colon == std::string::npos ? std::string() : rest.substr(colon);
    }
    if (rest.empty() || rest[0] != ':')
        return false;
    path = rest.substr(1);
    return true;
}

thread_local std::string alsaMessage;

void alsaErrorHandler(const char *, int, const char *, int, const char *fmt, ...)
{
    char text[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    alsaMessage = text;
}

} // namespace

ALconfig alNewConfig(void) { return new qvALconfig; }

int alFreeConfig(ALconfig config)
{
    if (config == nullptr)
        return fail(AL_BAD_CONFIG, "no configuration");
    delete config;
    return 0;
}

int alSetChannels(ALconfig config, int channels)
{
    if (config == nullptr)
        return fail(AL_BAD_CONFIG, "no configuration");
    if (channels < 1 || channels > 64)
        return fail(AL_BAD_CHANNELS, "bad channel count %d", channels);
    config->channels = channels;
    return 0;
}

int alGetChannels(ALconfig config)
{
    return config != nullptr ? config->channels : fail(AL_BAD_CONFIG, "no configuration");
}

int alSetSampFmt(ALconfig config, int format)
{
    if (config == nullptr)
        return fail(AL_BAD_CONFIG, "no configuration");
    if (format != AL_SAMPFMT_FLOAT)
        return fail(AL_BAD_SAMPFMT, "only float samples are supported");
    config->sampFmt = format;
    return 0;
}

int alSetFloatMax(ALconfig config, double maximum)
{
    if (config == nullptr)
        return fail(AL_BAD_CONFIG, "no configuration");
    if (!(maximum > 0.0))
        return fail(AL_BAD_PARAM, "bad float maximum %g", maximum);
    config->floatMax = maximum;
    return 0;
}

int alSetQueueSize(ALconfig config, long long frames)
{
    if (config == nullptr)
        return fail(AL_BAD_CONFIG, "no configuration");
    if (frames < 1 || frames > (1LL << 26))
        return fail(AL_BAD_QSIZE, "bad queue size %lld", frames);
    config->queueSize = frames;
    return 0;
}

long long alGetQueueSize(ALconfig config)
{
    return config != nullptr ? config->queueSize : fail(AL_BAD_CONFIG, "no configuration");
}

int alSetDevice(ALconfig config, int resource)
{
    if (config == nullptr)
        return fail(AL_BAD_CONFIG, "no configuration");
    if (resource != AL_DEFAULT_OUTPUT)
        return fail(AL_BAD_DEVICE, "unknown device resource %d", resource);
    config->device = resource;
    return 0;
}

ALport alOpenPort(const char *, const char *mode, ALconfig config)
{
    if (config == nullptr) {
        fail(AL_BAD_CONFIG, "no configuration");
        return nullptr;
    }
    if (mode == nullptr || std::strcmp(mode, "w") != 0) {
        fail(AL_BAD_PORT, "only output ports (mode \"w\") are supported");
        return nullptr;
    }
    const char *env = std::getenv("QV_AUDIO_DEVICE");
    std::string deviceName = env != nullptr && *env != '\0' ? env : "default";

    qvALport *p = new qvALport;
    p->channels = config->channels;
    p->device = config->device;
    p->scale = (float)(1.0 / config->floatMax);

    std::unique_lock<std::mutex> registry(registryLock);
    double rate = rateOf(p->device);
    p->queueSize = config->queueSize > 0 ? config->queueSize : (long long)(rate / 2);
    p->fillPoint = (int)(p->queueSize / 2);

    std::string path;
    if (pacedDevice(deviceName, path, p->fixedRate)) {
        p->paced = true;
        p->basePath = path;
        int sameDevice = 0;
        for (qvALport *o : openPorts)
            if (o->paced && o->basePath == path)
                ++sameDevice;
        std::string file = sameDevice == 0 ? path : path + "." + std::to_string(sameDevice);
        p->recordFd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (p->recordFd < 0) {
            fail(AL_BAD_DEVICE, "cannot open paced device file \"%s\": %s", file.c_str(),
                 std::strerror(errno));
            delete p;
            return nullptr;
        }
        p->rate = p->fixedRate > 0.0 ? p->fixedRate : rate;
        p->ustBase = now();
    } else {
        alsaMessage.clear();
        snd_lib_error_set_handler(alsaErrorHandler);
        int err = snd_pcm_open(&p->pcm, deviceName.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
        snd_lib_error_set_handler(nullptr);
        if (err < 0) {
            if (!alsaMessage.empty())
                fail(AL_BAD_DEVICE, "%s (%s)", alsaMessage.c_str(), snd_strerror(err));
            else
                fail(AL_BAD_DEVICE, "audio device \"%s\": %s", deviceName.c_str(), snd_strerror(err));
            delete p;
            return nullptr;
        }
        p->asked = rate;
        if (alsaConfigure(p, rate) < 0) {
            int number = lastErrorNumber;
            std::string text = std::string("audio device \"") + deviceName + "\": " + lastErrorText;
            snd_pcm_close(p->pcm);
            delete p;
            fail(number, "%s", text.c_str());
            return nullptr;
        }
        p->fillPoint = (int)(p->queueSize / 2);
    }
    p->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (p->timerFd < 0) {
        fail(AL_BAD_PORT, "no port descriptor: %s", std::strerror(errno));
        if (p->pcm != nullptr)
            snd_pcm_close(p->pcm);
        if (p->recordFd >= 0)
            ::close(p->recordFd);
        delete p;
        return nullptr;
    }
    openPorts.push_back(p);
    registry.unlock();
    std::lock_guard<std::mutex> held(p->lock);
    armTimer(p);
    return p;
}

int alClosePort(ALport port)
{
    if (port == nullptr)
        return fail(AL_BAD_PORT, "no port");
    {
        std::lock_guard<std::mutex> registry(registryLock);
        openPorts.erase(std::remove(openPorts.begin(), openPorts.end(), port), openPorts.end());
    }
    if (port->pcm != nullptr) {
        snd_pcm_drain(port->pcm);
        snd_pcm_close(port->pcm);
    }
    if (port->recordFd >= 0)
        ::close(port->recordFd);
    if (port->timerFd >= 0)
        ::close(port->timerFd);
    delete port;
    return 0;
}

int alGetFD(ALport port)
{
    return port != nullptr ? port->timerFd : fail(AL_BAD_PORT, "no port");
}

int alSetFillPoint(ALport port, int frames)
{
    if (port == nullptr)
        return fail(AL_BAD_PORT, "no port");
    if (frames < 0 || frames > port->queueSize)
        return fail(AL_BAD_FILLPOINT, "fill point %d outside the queue of %lld frames", frames,
                    port->queueSize);
    std::lock_guard<std::mutex> held(port->lock);
    port->fillPoint = frames;
    armTimer(port);
    return 0;
}

int alGetFillable(ALport port)
{
    if (port == nullptr)
        return fail(AL_BAD_PORT, "no port");
    std::lock_guard<std::mutex> held(port->lock);
    return (int)fillable(port);
}

static int writeFrames(ALport port, const float *frames, int count)
{
    if (port == nullptr)
        return fail(AL_BAD_PORT, "no port");
    if (count < 0)
        return fail(AL_BAD_PARAM, "negative frame count");
    std::unique_lock<std::mutex> held(port->lock);
    int result = port->paced ? pacedWrite(port, held, frames, count)
                             : alsaWrite(port, frames, count);
    armTimer(port);
    return result;
}

int alWriteFrames(ALport port, const void *frames, int count)
{
    if (frames == nullptr)
        return fail(AL_BAD_PARAM, "no frames");
    return writeFrames(port, (const float *)frames, count);
}

int alZeroFrames(ALport port, int count) { return writeFrames(port, nullptr, count); }

int alGetFrameNumber(ALport port, stamp_t *msc)
{
    if (port == nullptr || msc == nullptr)
        return fail(AL_BAD_PORT, "no port");
    std::lock_guard<std::mutex> held(port->lock);
    if (port->paced)
        *msc = std::max(port->writePos, pacedMsc(port, now()));
    else
        *msc = port->written;
    return 0;
}

int alGetFrameTime(ALport port, stamp_t *msc, stamp_t *ust)
{
    if (port == nullptr || msc == nullptr || ust == nullptr)
        return fail(AL_BAD_PORT, "no port");
    std::lock_guard<std::mutex> held(port->lock);
    stamp_t t = now();
    if (port->paced) {
        *msc = pacedMsc(port, t);
    } else {
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(port->pcm, &delay) < 0)
            delay = 0;
        *msc = port->written - delay;
    }
    *ust = t;
    return 0;
}

int alSetParams(int resource, ALpv *pvs, int count)
{
    if (pvs == nullptr || count < 0)
        return fail(AL_BAD_PARAM, "no parameters");
    if (resource != AL_DEFAULT_OUTPUT)
        return fail(AL_BAD_DEVICE, "unknown device resource %d", resource);
    for (int i = 0; i < count; ++i) {
        if (pvs[i].param != AL_RATE) {
            pvs[i].sizeOut = -1;
            return fail(AL_BAD_PARAM, "unknown parameter %d", pvs[i].param);
        }
        double rate = alFixedToDouble(pvs[i].value.ll);
        if (!(rate >= 1.0 && rate <= 1e6))
            return fail(AL_BAD_RATE, "bad rate %g", rate);
        std::lock_guard<std::mutex> registry(registryLock);
        requestedRates[resource] = rate;
        for (qvALport *p : openPorts) {
            if (p->device != resource)
                continue;
            std::lock_guard<std::mutex> held(p->lock);
            if (p->paced) {
                if (p->fixedRate <= 0.0)
                    pacedRebase(p, rate);
            } else if (rate != p->asked) {
                p->asked = rate;
                snd_pcm_drop(p->pcm);
                if (alsaConfigure(p, rate) < 0)
                    return -1;
                snd_pcm_prepare(p->pcm);
            }
            armTimer(p);
        }
    }
    return 0;
}

int alGetParams(int resource, ALpv *pvs, int count)
{
    if (pvs == nullptr || count < 0)
        return fail(AL_BAD_PARAM, "no parameters");
    if (resource != AL_DEFAULT_OUTPUT)
        return fail(AL_BAD_DEVICE, "unknown device resource %d", resource);
    std::lock_guard<std::mutex> registry(registryLock);
    for (int i = 0; i < count; ++i) {
        if (pvs[i].param != AL_RATE) {
            pvs[i].sizeOut = -1;
            return fail(AL_BAD_PARAM, "unknown parameter %d", pvs[i].param);
        }
        double rate = rateOf(resource);
        for (qvALport *p : openPorts)
            if (p->device == resource) {
                rate = p->rate;
                break;
            }
        pvs[i].value.ll = alDoubleToFixed(rate);
        pvs[i].sizeOut = 1;
    }
    return 0;
}

long long alDoubleToFixed(double value) { return (long long)std::llround(value * 4294967296.0); }

double alFixedToDouble(long long value) { return (double)value / 4294967296.0; }

const char *alGetErrorString(int error)
{
    if (error == lastErrorNumber && lastErrorText[0] != '\0')
        return lastErrorText;
    switch (error) {
    case AL_BAD_CONFIG: return "invalid configuration";
    case AL_BAD_CHANNELS: return "invalid channel count";
    case AL_BAD_SAMPFMT: return "invalid sample format";
    case AL_BAD_QSIZE: return "invalid queue size";
    case AL_BAD_DEVICE: return "invalid device";
    case AL_BAD_PORT: return "invalid port";
    case AL_BAD_PARAM: return "invalid parameter";
    case AL_BAD_RATE: return "invalid rate";
    case AL_BAD_FILLPOINT: return "invalid fill point";
    case AL_BAD_DEVICE_ACCESS: return "device access failed";
    default: return std::strerror(error);
    }
}
