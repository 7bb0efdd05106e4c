#include <soundfile/qvSoundFile.h>

#include <dmedia/dmedia.h>

#include <audiofile.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

// The audio-file library reports through a handler; keep its text for
// dmGetError instead of printing it.
void recordAudioFileError(long code, const char *text)
{
    dmSetError((int)code, "%s", text != nullptr ? text : "audio file library error");
}

std::once_flag handlerInstalled;

const long long kInputChunk = 4096;
const long long kDirectChunk = 4096;

bool hostBigEndian()
{
    const unsigned short one = 1;
    return *(const unsigned char *)&one == 0;
}

} // namespace

qvSoundFile *qvSoundFile::open(const char *path)
{
    std::call_once(handlerInstalled, [] { afSetErrorHandler(recordAudioFileError); });
    if (path == nullptr) {
        dmSetError(1, "no file name");
        return nullptr;
    }
    dmClearError();
    AFfilehandle h = afOpenFile(path, "r", AF_NULL_FILESETUP);
    if (h == AF_NULL_FILEHANDLE) {
        int number = 0;
        dmGetError(&number, nullptr);
        if (number == 0)
            dmSetError(1, "cannot open sound file \"%s\"", path);
        return nullptr;
    }
    qvSoundFile *f = new qvSoundFile;
    f->handle = h;
    f->frameCount = (long long)afGetFrameCount(h, AF_DEFAULT_TRACK);
    f->rate = afGetRate(h, AF_DEFAULT_TRACK);
    f->channels = afGetChannels(h, AF_DEFAULT_TRACK);
    f->vchannels = f->channels;
    f->vrate = f->rate;
    if (f->channels < 1 || !(f->rate > 0.0)) {
        dmSetError(1, "sound file \"%s\" has no channels or no rate", path);
        delete f;
        return nullptr;
    }
    if (afSetVirtualSampleFormat(h, AF_DEFAULT_TRACK, AF_SAMPFMT_FLOAT, 32) != 0) {
        delete f;
        return nullptr;
    }
    f->setUpDirect(path);
    return f;
}

void qvSoundFile::setUpDirect(const char *path)
{
    int version = 0;
    switch (afGetFileFormat(handle, &version)) {
    case AF_FILE_WAVE:
    case AF_FILE_AIFF:
    case AF_FILE_AIFFC:
    case AF_FILE_NEXTSND:
    case AF_FILE_BICSF:
    case AF_FILE_CAF:
        break;
    default:
        return;
    }
    if (afGetCompression(handle, AF_DEFAULT_TRACK) != AF_COMPRESSION_NONE)
        return;
    int width = 0;
    afGetSampleFormat(handle, AF_DEFAULT_TRACK, &sampleFormat, &width);
    const float frameSize = afGetFrameSize(handle, AF_DEFAULT_TRACK, 0);
    bytesPerSample = (int)std::lround(frameSize) / channels;
    const bool integer = sampleFormat == AF_SAMPFMT_TWOSCOMP || sampleFormat == AF_SAMPFMT_UNSIGNED;
    const bool known = (integer && width == bytesPerSample * 8 && bytesPerSample >= 1 &&
                        bytesPerSample <= 4) ||
                       (sampleFormat == AF_SAMPFMT_FLOAT && bytesPerSample == 4) ||
                       (sampleFormat == AF_SAMPFMT_DOUBLE && bytesPerSample == 8);
    if (!known || (float)(bytesPerSample * channels) != frameSize)
        return;
    double minClip = 0, maxClip = 0;
    afGetPCMMapping(handle, AF_DEFAULT_TRACK, &slope, &intercept, &minClip, &maxClip);
    if (!(slope != 0.0) || !std::isfinite(slope) || !std::isfinite(intercept))
        return;
    bigEndian = afGetByteOrder(handle, AF_DEFAULT_TRACK) == AF_BYTEORDER_BIGENDIAN;
    dataOffset = (long long)afGetDataOffset(handle, AF_DEFAULT_TRACK);
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        rawBuffer.resize((size_t)(kDirectChunk * bytesPerSample * channels));
}

void qvSoundFile::convertDirect(const unsigned char *p, float *o, long long samples) const
{
    const bool swap = bigEndian != hostBigEndian();
    const int b = bytesPerSample;
    const float scale = (float)(1.0 / slope);
    const float shift = (float)intercept;
    // The common layouts first.
    if (sampleFormat == AF_SAMPFMT_FLOAT && !swap) {
        std::memcpy(o, p, (size_t)samples * sizeof(float));
        if (scale != 1.0f || shift != 0.0f)
            for (long long i = 0; i < samples; ++i)
                o[i] = (o[i] - shift) * scale;
        return;
    }
    if (sampleFormat == AF_SAMPFMT_TWOSCOMP && b == 2) {
        for (long long i = 0; i < samples; ++i, p += 2) {
            const short x = (short)(swap ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
            o[i] = ((float)x - shift) * scale;
        }
        return;
    }
    for (long long i = 0; i < samples; ++i, p += b) {
        double raw;
        if (sampleFormat == AF_SAMPFMT_FLOAT || sampleFormat == AF_SAMPFMT_DOUBLE) {
            unsigned char bytes[8];
            for (int k = 0; k < b; ++k)
                bytes[k] = swap ? p[b - 1 - k] : p[k];
            if (b == 4) {
                float x;
                std::memcpy(&x, bytes, 4);
                raw = x;
            } else {
                std::memcpy(&raw, bytes, 8);
            }
        } else {
            unsigned long v = 0;
            for (int k = 0; k < b; ++k)
                v |= (unsigned long)(bigEndian ? p[b - 1 - k] : p[k]) << (8 * k);
            if (sampleFormat == AF_SAMPFMT_TWOSCOMP) {
                const long sign = 1L << (8 * b - 1);
                raw = (double)((long)v ^ sign) - (double)sign;
            } else {
                raw = (double)v;
            }
        }
        o[i] = ((float)raw - shift) * scale;
    }
}

long long qvSoundFile::readDirect(float *out, long long count)
{
    const long long frameBytes = (long long)bytesPerSample * channels;
    long long done = 0;
    count = std::min(count, frameCount - position);
    while (done < count) {
        const long long n = std::min(count - done, kDirectChunk);
        const off_t at = (off_t)(dataOffset + (position + done) * frameBytes);
        ssize_t got = ::pread(fd, rawBuffer.data(), (size_t)(n * frameBytes), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            dmSetError(errno, "cannot read the sound file: %s", std::strerror(errno));
            return -1;
        }
        const long long frames = (long long)got / frameBytes;
        convertDirect(rawBuffer.data(), out + done * channels, frames * channels);
        done += frames;
        if (frames < n)
            break; // the file ends early
    }
    return done;
}

qvSoundFile::~qvSoundFile()
{
    dropResampler();
    if (fd >= 0)
        ::close(fd);
    if (handle != nullptr)
        afCloseFile(handle);
}

void qvSoundFile::dropResampler()
{
    if (resampler != nullptr)
        soxr_delete(resampler);
    resampler = nullptr;
}

int qvSoundFile::setVirtualSampleFormat(SampleFormat f)
{
    if (f != FLOAT32 && f != INT16) {
        dmSetError(2, "unknown virtual sample format %d", (int)f);
        return -1;
    }
    format = f;
    return 0;
}

int qvSoundFile::setVirtualChannels(int n)
{
    if (n < 1 || n > 256) {
        dmSetError(3, "bad virtual channel count %d", n);
        return -1;
    }
    if (afSetVirtualChannels(handle, AF_DEFAULT_TRACK, n) != 0)
        return -1;
    if (n == 1 && channels > 1) {
        // Equal parts of every channel (the library's own default for two).
        std::vector<double> matrix((size_t)channels, 1.0 / channels);
        afSetChannelMatrix(handle, AF_DEFAULT_TRACK, matrix.data());
    }
    vchannels = n;
    int result = setVirtualRate(vrate, quality);
    return result;
}

int qvSoundFile::setVirtualRate(double r, Quality q)
{
    if (!(r > 0.0) || !std::isfinite(r)) {
        dmSetError(4, "bad virtual rate %g", r);
        return -1;
    }
    dropResampler();
    vrate = r;
    quality = q;
    if (r != rate) {
        soxr_error_t err = nullptr;
        soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        soxr_quality_spec_t qs = soxr_quality_spec(q == QUICK ? SOXR_QQ : SOXR_HQ, 0);
        resampler = soxr_create(rate, r, (unsigned)vchannels, &err, &io, &qs, nullptr);
        if (err != nullptr || resampler == nullptr) {
            dmSetError(5, "cannot resample %g to %g Hz: %s", rate, r,
                       err != nullptr ? err : "unknown error");
            dropResampler();
            vrate = rate;
            return -1;
        }
    }
    // Start the delivery again where it stands.
    return seekFrame(std::min(position, getVirtualFrameCount())) < 0 ? -1 : 0;
}

long long qvSoundFile::getVirtualFrameCount() const
{
    if (!resampling())
        return frameCount;
    return (long long)std::floor((double)frameCount * vrate / rate + 0.5);
}

int qvSoundFile::getVirtualFrameSize() const
{
    return vchannels * (format == INT16 ? 2 : 4);
}

long long qvSoundFile::seekFrame(long long frame)
{
    if (frame < 0 || frame > getVirtualFrameCount()) {
        dmSetError(6, "frame %lld outside the file's %lld frames", frame, getVirtualFrameCount());
        return -1;
    }
    if (direct()) {
        position = frame;
        libraryInStep = false;
        return frame;
    }
    long long fileFrame = frame;
    if (resampling()) {
        fileFrame = std::min(frameCount, (long long)std::llround((double)frame * rate / vrate));
        soxr_clear(resampler);
        inputDone = false;
        inBuffer.clear();
    } else if (libraryInStep && frame == position) {
        return frame; // there already
    }
    if (afSeekFrame(handle, AF_DEFAULT_TRACK, (AFframecount)fileFrame) < 0)
        return -1;
    position = frame;
    libraryInStep = true;
    return frame;
}

long long qvSoundFile::readFloats(float *out, long long count)
{
    long long done = 0;
    while (done < count) {
        int ask = (int)std::min<long long>(count - done, 1 << 20);
        int n = afReadFrames(handle, AF_DEFAULT_TRACK, out + done * vchannels, ask);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

long long qvSoundFile::readResampled(float *out, long long count)
{
    long long done = 0;
    while (done < count) {
        size_t inFrames = 0;
        const float *in = nullptr;
        if (!inputDone && inBuffer.empty()) {
            inBuffer.resize((size_t)(kInputChunk * vchannels));
            long long n = readFloats(inBuffer.data(), kInputChunk);
            if (n < 0)
                return -1;
            inBuffer.resize((size_t)(n * vchannels));
            if (n == 0)
                inputDone = true;
        }
        if (!inputDone) {
            in = inBuffer.data();
            inFrames = inBuffer.size() / (size_t)vchannels;
        }
        size_t used = 0, made = 0;
        soxr_error_t err = soxr_process(resampler, in, inFrames, &used, out + done * vchannels,
                                        (size_t)(count - done), &made);
        if (err != nullptr) {
            dmSetError(7, "resampling failed: %s", err);
            return -1;
        }
        if (in != nullptr)
            inBuffer.erase(inBuffer.begin(), inBuffer.begin() + (long)(used * (size_t)vchannels));
        done += (long long)made;
        if (inputDone && made == 0)
            break;
    }
    return done;
}

long long qvSoundFile::readFrames(void *buffer, long long count)
{
    if (buffer == nullptr || count < 0) {
        dmSetError(8, "no buffer to read into");
        return -1;
    }
    count = std::max(0LL, std::min(count, getVirtualFrameCount() - position));
    if (count == 0)
        return 0;
    float *floats;
    if (format == FLOAT32) {
        floats = (float *)buffer;
    } else {
        outBuffer.resize((size_t)(count * vchannels));
        floats = outBuffer.data();
    }
    long long n;
    if (direct()) {
        n = readDirect(floats, count);
        libraryInStep = false;
    } else {
        if (!libraryInStep && !resampling()) {
            if (afSeekFrame(handle, AF_DEFAULT_TRACK, (AFframecount)position) < 0)
                return -1;
            libraryInStep = true;
        }
        n = resampling() ? readResampled(floats, count) : readFloats(floats, count);
    }
    if (n < 0)
        return -1;
    if (format == INT16) {
        short *shorts = (short *)buffer;
        for (long long i = 0; i < n * vchannels; ++i) {
            float x = std::clamp(floats[i] * 32768.0f, -32768.0f, 32767.0f);
            shorts[i] = (short)std::lrint(x);
        }
    }
    position += n;
    return n;
}
