#include <movie/movie.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}
#include <turbojpeg.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct LastError {
    int number = MV_ERR_NONE;
    char detail[DM_MAX_ERROR_DETAIL] = "";
};
thread_local LastError lastError;

__attribute__((format(printf, 2, 3))) DMstatus fail(int number,
                                                   const char *format, ...)
{
    lastError.number = number;
    va_list args;
    va_start(args, format);
    std::vsnprintf(lastError.detail, sizeof lastError.detail, format, args);
    va_end(args);
    dmSetError(number, "%s", lastError.detail);
    return DM_FAILURE;
}

std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE];
    av_strerror(code, text, sizeof text);
    return text;
}

struct Chunk {
    long long offset;
    size_t size;
    MVframe frames;
};

} // namespace

struct _MVmovie;

struct _MVobject {
    bool isMovie = false;
    _MVmovie *movie = nullptr;
    // Tracks.
    DMmedium medium = DM_IMAGE;
    int width = 0, height = 0;
    double rate = 0.0;
    int channels = 0, bits = 0;
    bool floatSamples = false;
    size_t frameBytes = 0; // audio
    MVframe length = 0;
    std::vector<Chunk> chunks; // image: one per frame; audio: appended pieces
};

struct _MVmovie : _MVobject {
    std::string filename;
    DMparams *params = nullptr;
    AVFormatContext *context = nullptr;
    FILE *store = nullptr; // frame data until the file is laid out
    long long storeEnd = 0;
    _MVobject *image = nullptr, *audio = nullptr;
};

namespace {

_MVmovie *asMovie(MVid id)
{
    if (id == nullptr || !id->isMovie)
        return nullptr;
    return static_cast<_MVmovie *>(id);
}

bool isTrack(MVid id, DMmedium medium)
{
    return id != nullptr && !id->isMovie && id->medium == medium;
}

void freeMovie(_MVmovie *m)
{
    if (m->context != nullptr) {
        if (m->context->pb != nullptr)
            avio_closep(&m->context->pb);
        avformat_free_context(m->context);
    }
    if (m->store != nullptr)
        std::fclose(m->store);
    dmParamsDestroy(m->params);
    delete m->image;
    delete m->audio;
    delete m;
}

bool storeData(_MVmovie *m, const void *data, size_t size, Chunk &chunk)
{
    if (std::fseek(m->store, 0, SEEK_END) != 0 ||
        std::fwrite(data, 1, size, m->store) != size) {
        fail(MV_ERR_WRITE, "cannot keep frame data: %s", std::strerror(errno));
        return false;
    }
    chunk.offset = m->storeEnd;
    chunk.size = size;
    m->storeEnd += (long long)size;
    return true;
}

bool loadData(_MVmovie *m, const Chunk &chunk, uint8_t *out)
{
    if (std::fseek(m->store, (long)chunk.offset, SEEK_SET) != 0 ||
        std::fread(out, 1, chunk.size, m->store) != chunk.size)
        return fail(MV_ERR_WRITE, "cannot read back frame data"), false;
    return true;
}

} // namespace

DMstatus mvSetMovieDefaults(DMparams *params, MVformat format)
{
    if (params == nullptr)
        return fail(MV_ERR_BAD_ARGUMENT, "no parameter list");
    if (format < MV_FORMAT_SGI_1 || format > MV_FORMAT_QT)
        return fail(MV_ERR_FORMAT, "unknown movie format %d", (int)format);
    if (dmParamsSetEnum(params, MV_FORMAT, format) != DM_SUCCESS ||
        dmParamsSetEnum(params, MV_LOOP_MODE, MV_LOOP_NONE) != DM_SUCCESS ||
        dmParamsSetString(params, MV_TITLE, "") != DM_SUCCESS ||
        dmParamsSetString(params, MV_COMMENT, "") != DM_SUCCESS)
        return fail(MV_ERR_PARAMS, "cannot set movie defaults");
    return DM_SUCCESS;
}

DMstatus mvCreateFile(const char *filename, const DMparams *params,
                      DMparams *returnParams, MVid *movie)
{
    if (filename == nullptr || filename[0] == '\0' || params == nullptr ||
        movie == nullptr)
        return fail(MV_ERR_BAD_ARGUMENT, "no file name, parameters or movie");
    if (dmParamsGetElemType(params, MV_FORMAT) != DM_TYPE_ENUM)
        return fail(MV_ERR_PARAMS, "movie parameters lack \"%s\"", MV_FORMAT);
    int format = dmParamsGetEnum(params, MV_FORMAT);
    if (format < MV_FORMAT_SGI_1 || format > MV_FORMAT_QT)
        return fail(MV_ERR_FORMAT, "unknown movie format %d", format);

    _MVmovie *m = new _MVmovie;
    m->isMovie = true;
    m->movie = m;
    m->filename = filename;
    dmParamsCreate(&m->params);
    dmParamsCopyAllElems(params, m->params);
    const AVOutputFormat *quicktime = av_guess_format("mov", nullptr, nullptr);
    int code = quicktime == nullptr
                   ? AVERROR_MUXER_NOT_FOUND
                   : avformat_alloc_output_context2(&m->context, quicktime,
                                                    nullptr, filename);
    if (code < 0) {
        freeMovie(m);
        return fail(MV_ERR_FORMAT, "no QuickTime writer: %s",
                    avError(code).c_str());
    }
    code = avio_open(&m->context->pb, filename, AVIO_FLAG_WRITE);
    if (code < 0) {
        freeMovie(m);
        return fail(MV_ERR_FILE, "cannot create movie file '%s': %s", filename,
                    avError(code).c_str());
    }
    m->store = std::tmpfile();
    if (m->store == nullptr) {
        int e = errno;
        freeMovie(m);
        return fail(MV_ERR_FILE, "no temporary store: %s", std::strerror(e));
    }
    if (returnParams != nullptr)
        dmParamsCopyAllElems(m->params, returnParams);
    *movie = m;
    return DM_SUCCESS;
}

DMstatus mvAddTrack(MVid id, DMmedium medium, const DMparams *params,
                    DMparams *returnParams, MVid *track)
{
    _MVmovie *m = asMovie(id);
    if (m == nullptr || params == nullptr || track == nullptr)
        return fail(MV_ERR_BAD_ARGUMENT, "no movie, parameters or track");
    _MVobject t;
    t.movie = m;
    t.medium = medium;
    if (medium == DM_IMAGE) {
        if (m->image != nullptr)
            return fail(MV_ERR_TRACK, "the movie has an image track already");
        if (dmParamsGetElemType(params, DM_IMAGE_WIDTH) != DM_TYPE_INT ||
            dmParamsGetElemType(params, DM_IMAGE_HEIGHT) != DM_TYPE_INT ||
            dmParamsGetElemType(params, DM_IMAGE_RATE) != DM_TYPE_FLOAT)
            return fail(MV_ERR_PARAMS,
                        "image track parameters lack width, height or rate");
        t.width = dmParamsGetInt(params, DM_IMAGE_WIDTH);
        t.height = dmParamsGetInt(params, DM_IMAGE_HEIGHT);
        t.rate = dmParamsGetFloat(params, DM_IMAGE_RATE);
        if (t.width <= 0 || t.height <= 0 || t.width > 16384 ||
            t.height > 16384 || !(t.rate > 0.0 && t.rate <= 1000.0))
            return fail(MV_ERR_PARAMS, "unusable image track %d x %d at %g fps",
                        t.width, t.height, t.rate);
        const char *compression =
            dmParamsGetElemType(params, DM_IMAGE_COMPRESSION) == DM_TYPE_STRING
                ? dmParamsGetString(params, DM_IMAGE_COMPRESSION)
                : DM_IMAGE_UNCOMPRESSED;
        if (std::strcmp(compression, DM_IMAGE_JPEG) != 0)
            return fail(MV_ERR_PARAMS,
                        "image tracks are written as JPEG, not \"%s\"",
                        compression);
    } else if (medium == DM_AUDIO) {
        if (m->audio != nullptr)
            return fail(MV_ERR_TRACK, "the movie has an audio track already");
        if (dmParamsGetElemType(params, DM_AUDIO_WIDTH) != DM_TYPE_INT ||
            dmParamsGetElemType(params, DM_AUDIO_CHANNELS) != DM_TYPE_INT ||
            dmParamsGetElemType(params, DM_AUDIO_RATE) != DM_TYPE_FLOAT)
            return fail(MV_ERR_PARAMS,
                        "audio track parameters lack width, channels or rate");
        t.bits = dmParamsGetInt(params, DM_AUDIO_WIDTH);
        t.channels = dmParamsGetInt(params, DM_AUDIO_CHANNELS);
        t.rate = dmParamsGetFloat(params, DM_AUDIO_RATE);
        int format = dmParamsGetElemType(params, DM_AUDIO_FORMAT) == DM_TYPE_ENUM
                         ? dmParamsGetEnum(params, DM_AUDIO_FORMAT)
                         : DM_AUDIO_TWOS_COMPLEMENT;
        t.floatSamples = format == DM_AUDIO_FLOAT;
        bool widthOk = t.floatSamples ? t.bits == 32
                                      : (t.bits == 8 || t.bits == 16 ||
                                         t.bits == 24 || t.bits == 32);
        if ((format != DM_AUDIO_TWOS_COMPLEMENT && !t.floatSamples) || !widthOk)
            return fail(MV_ERR_PARAMS,
                        "audio tracks take 8 to 32-bit two's complement or "
                        "32-bit float samples, not format %d of %d bits",
                        format, t.bits);
        if (t.channels <= 0 || t.channels > 64 ||
            !(t.rate >= 1.0 && t.rate <= 1e6))
            return fail(MV_ERR_PARAMS, "unusable audio track of %d channels at %g Hz",
                        t.channels, t.rate);
        t.frameBytes = (size_t)(t.bits / 8) * (size_t)t.channels;
    } else
        return fail(MV_ERR_TRACK, "unknown medium %d", (int)medium);

    _MVobject *made = new _MVobject(t);
    (medium == DM_IMAGE ? m->image : m->audio) = made;
    if (returnParams != nullptr)
        dmParamsCopyAllElems(params, returnParams);
    *track = made;
    return DM_SUCCESS;
}

DMstatus mvFindTrackByMedium(MVid id, DMmedium medium, MVid *track)
{
    _MVmovie *m = asMovie(id);
    if (m == nullptr || track == nullptr)
        return fail(MV_ERR_BAD_ARGUMENT, "no movie or track");
    _MVobject *t = medium == DM_IMAGE ? m->image
                   : medium == DM_AUDIO ? m->audio
                                        : nullptr;
    if (t == nullptr)
        return fail(MV_ERR_TRACK, "the movie has no track of medium %d",
                    (int)medium);
    *track = t;
    return DM_SUCCESS;
}

DMstatus mvInsertCompressedImage(MVid track, MVframe index, size_t size,
                                 const void *data)
{
    if (!isTrack(track, DM_IMAGE))
        return fail(MV_ERR_BAD_ARGUMENT, "not an image track");
    if (index < 0 || index > track->length)
        return fail(MV_ERR_INDEX,
                    "frame index %lld outside the track of %lld frames",
                    index, track->length);
    if (data == nullptr || size < 4 || size > (1u << 30))
        return fail(MV_ERR_FRAME, "no compressed image");
    const unsigned char *bytes = (const unsigned char *)data;
    if (bytes[0] != 0xFF || bytes[1] != 0xD8)
        return fail(MV_ERR_FRAME, "the compressed image is not JPEG");
    tjhandle tj = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    int code = tj == nullptr ? -1
                             : tjDecompressHeader3(tj, bytes, (unsigned long)size,
                                                   &width, &height, &subsampling,
                                                   &colourspace);
    if (tj != nullptr)
        tjDestroy(tj);
    if (code != 0)
        return fail(MV_ERR_FRAME, "unreadable JPEG image");
    if (width != track->width || height != track->height)
        return fail(MV_ERR_FRAME, "JPEG image of %d x %d in a %d x %d track",
                    width, height, track->width, track->height);
    Chunk chunk{0, 0, 1};
    if (!storeData(track->movie, data, size, chunk))
        return DM_FAILURE;
    track->chunks.insert(track->chunks.begin() + index, chunk);
    ++track->length;
    return DM_SUCCESS;
}

DMstatus mvAppendFrames(MVid track, MVframe frames, size_t bufferSize,
                        const void *buffer)
{
    if (!isTrack(track, DM_AUDIO))
        return fail(MV_ERR_BAD_ARGUMENT, "not an audio track");
    if (frames < 0 || (frames > 0 && buffer == nullptr))
        return fail(MV_ERR_BAD_ARGUMENT, "no frames");
    if (frames == 0)
        return DM_SUCCESS;
    if ((unsigned long long)frames > (1ull << 40) / track->frameBytes ||
        bufferSize < (size_t)frames * track->frameBytes)
        return fail(MV_ERR_BAD_ARGUMENT,
                    "a buffer of %zu bytes holds no %lld frames of %zu bytes",
                    bufferSize, frames, track->frameBytes);
    Chunk chunk{0, 0, frames};
    if (!storeData(track->movie, buffer, (size_t)frames * track->frameBytes,
                   chunk))
        return DM_FAILURE;
    track->chunks.push_back(chunk);
    track->length += frames;
    return DM_SUCCESS;
}

MVframe mvGetTrackLength(MVid track)
{
    if (track == nullptr || track->isMovie) {
        fail(MV_ERR_BAD_ARGUMENT, "not a track");
        return 0;
    }
    return track->length;
}

double mvGetImageRate(MVid track)
{
    if (!isTrack(track, DM_IMAGE)) {
        fail(MV_ERR_BAD_ARGUMENT, "not an image track");
        return 0.0;
    }
    return track->rate;
}

int mvGetImageWidth(MVid track)
{
    return isTrack(track, DM_IMAGE) ? track->width : 0;
}

int mvGetImageHeight(MVid track)
{
    return isTrack(track, DM_IMAGE) ? track->height : 0;
}

double mvGetAudioRate(MVid track)
{
    return isTrack(track, DM_AUDIO) ? track->rate : 0.0;
}

int mvGetAudioChannels(MVid track)
{
    return isTrack(track, DM_AUDIO) ? track->channels : 0;
}

namespace {

AVCodecID pcmCodec(const _MVobject *t)
{
    if (t->floatSamples)
        return AV_CODEC_ID_PCM_F32LE;
    switch (t->bits) {
    case 8: return AV_CODEC_ID_PCM_S8;
    case 24: return AV_CODEC_ID_PCM_S24LE;
    case 32: return AV_CODEC_ID_PCM_S32LE;
    default: return AV_CODEC_ID_PCM_S16LE;
    }
}

// Lays out the file: streams, header, the packets of both tracks in time
// order, trailer.
DMstatus writeMovie(_MVmovie *m)
{
    AVFormatContext *c = m->context;
    AVStream *video = nullptr, *audio = nullptr;
    AVRational videoBase{1, 1}, audioBase{1, 1};
    if (m->image != nullptr) {
        video = avformat_new_stream(c, nullptr);
        if (video == nullptr)
            return fail(MV_ERR_WRITE, "cannot add the image stream");
        AVRational rate = av_d2q(m->image->rate, 1000000);
        videoBase = av_inv_q(rate);
        video->time_base = videoBase;
        video->avg_frame_rate = rate;
        video->r_frame_rate = rate;
        AVCodecParameters *p = video->codecpar;
        p->codec_type = AVMEDIA_TYPE_VIDEO;
        p->codec_id = AV_CODEC_ID_MJPEG;
        p->width = m->image->width;
        p->height = m->image->height;
        p->format = AV_PIX_FMT_YUVJ422P;
        p->color_range = AVCOL_RANGE_JPEG;
    }
    int sampleRate = 0;
    if (m->audio != nullptr) {
        audio = avformat_new_stream(c, nullptr);
        if (audio == nullptr)
            return fail(MV_ERR_WRITE, "cannot add the audio stream");
        sampleRate = (int)std::lround(m->audio->rate);
        audioBase = AVRational{1, sampleRate};
        audio->time_base = audioBase;
        AVCodecParameters *p = audio->codecpar;
        p->codec_type = AVMEDIA_TYPE_AUDIO;
        p->codec_id = pcmCodec(m->audio);
        p->sample_rate = sampleRate;
        av_channel_layout_default(&p->ch_layout, m->audio->channels);
        p->bits_per_coded_sample = m->audio->bits;
        p->block_align = (int)m->audio->frameBytes;
        p->frame_size = 1;
    }
    const char *title = dmParamsGetElemType(m->params, MV_TITLE) == DM_TYPE_STRING
                            ? dmParamsGetString(m->params, MV_TITLE)
                            : "";
    if (title[0] != '\0')
        av_dict_set(&c->metadata, "title", title, 0);
    int code = avformat_write_header(c, nullptr);
    if (code < 0)
        return fail(MV_ERR_WRITE, "cannot write the movie header: %s",
                    avError(code).c_str());

    AVPacket *packet = av_packet_alloc();
    if (packet == nullptr)
        return fail(MV_ERR_WRITE, "no memory for a packet");
    size_t nextImage = 0, nextAudio = 0;
    MVframe audioPos = 0;
    const size_t images = m->image != nullptr ? m->image->chunks.size() : 0;
    const size_t pieces = m->audio != nullptr ? m->audio->chunks.size() : 0;
    DMstatus status = DM_SUCCESS;
    while (status == DM_SUCCESS && (nextImage < images || nextAudio < pieces)) {
        // The earlier of the two next packets goes first.
        bool takeImage = nextAudio >= pieces ||
                         (nextImage < images &&
                          av_compare_ts((int64_t)nextImage, videoBase, audioPos,
                                        audioBase) <= 0);
        const Chunk &chunk = takeImage ? m->image->chunks[nextImage]
                                       : m->audio->chunks[nextAudio];
        if (av_new_packet(packet, (int)chunk.size) < 0) {
            status = fail(MV_ERR_WRITE, "no memory for a packet");
            break;
        }
        if (!loadData(m, chunk, packet->data)) {
            av_packet_unref(packet);
            status = DM_FAILURE;
            break;
        }
        AVStream *stream = takeImage ? video : audio;
        packet->stream_index = stream->index;
        if (takeImage) {
            packet->pts = packet->dts = (int64_t)nextImage++;
            packet->duration = 1;
            packet->flags |= AV_PKT_FLAG_KEY;
        } else {
            packet->pts = packet->dts = audioPos;
            packet->duration = chunk.frames;
            packet->flags |= AV_PKT_FLAG_KEY;
            audioPos += chunk.frames;
            ++nextAudio;
        }
        av_packet_rescale_ts(packet, takeImage ? videoBase : audioBase,
                             stream->time_base);
        code = av_interleaved_write_frame(c, packet);
        if (code < 0)
            status = fail(MV_ERR_WRITE, "cannot write a frame: %s",
                          avError(code).c_str());
    }
    av_packet_free(&packet);
    code = av_write_trailer(c);
    if (status == DM_SUCCESS && code < 0)
        status = fail(MV_ERR_WRITE, "cannot finish the movie: %s",
                      avError(code).c_str());
    if (status == DM_SUCCESS && c->pb != nullptr && c->pb->error < 0)
        status = fail(MV_ERR_WRITE, "cannot write the movie file: %s",
                      avError(c->pb->error).c_str());
    return status;
}

} // namespace

DMstatus mvClose(MVid id)
{
    _MVmovie *m = asMovie(id);
    if (m == nullptr)
        return fail(MV_ERR_BAD_ARGUMENT, "not a movie");
    DMstatus status = writeMovie(m);
    std::string name = m->filename;
    freeMovie(m);
    if (status != DM_SUCCESS)
        std::remove(name.c_str()); // no half-written movie stays behind
    return status;
}

int mvGetErrno(void)
{
    return lastError.number;
}

const char *mvGetErrorStr(int number)
{
    if (number == lastError.number && lastError.detail[0] != '\0')
        return lastError.detail;
    switch (number) {
    case MV_ERR_NONE: return "no error";
    case MV_ERR_BAD_ARGUMENT: return "bad argument";
    case MV_ERR_PARAMS: return "unusable parameters";
    case MV_ERR_FILE: return "cannot create the movie file";
    case MV_ERR_FORMAT: return "unknown movie format";
    case MV_ERR_TRACK: return "no such track";
    case MV_ERR_INDEX: return "frame index out of range";
    case MV_ERR_FRAME: return "unusable frame";
    case MV_ERR_WRITE: return "cannot write the movie";
    case MV_ERR_CLOSED: return "the movie is closed";
    default: return "unknown movie error";
    }
}
