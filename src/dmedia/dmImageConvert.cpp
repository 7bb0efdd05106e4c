#include <dmedia/dm_imageconvert.h>

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

enum class Kind { Repack, JpegEncode, JpegDecode };

struct ConverterInfo {
    Kind kind;
    DMpacking srcPacking;
    DMpacking dstPacking;
};

const char *packingName(int packing)
{
    switch (packing) {
    case DM_IMAGE_PACKING_RGBA: return "RGBA";
    case DM_IMAGE_PACKING_ABGR: return "ABGR";
    case DM_IMAGE_PACKING_RGBX: return "RGBX";
    case DM_IMAGE_PACKING_XBGR: return "XBGR";
    case DM_IMAGE_PACKING_RGB: return "RGB";
    case DM_IMAGE_PACKING_BGR: return "BGR";
    case DM_IMAGE_PACKING_CbYCrY: return "CbYCrY";
    case DM_IMAGE_PACKING_LUMINANCE: return "LUMINANCE";
    default: return "unknown";
    }
}

// The list: the pixel converters between every two of five packings, three
// converters to luminance, then the JPEG compressor (index 23) and the
// JPEG decompressor.
const std::vector<ConverterInfo> &converterList()
{
    static const std::vector<ConverterInfo> list = [] {
        std::vector<ConverterInfo> l;
        const DMpacking colour[] = {DM_IMAGE_PACKING_RGBA, DM_IMAGE_PACKING_ABGR,
                                    DM_IMAGE_PACKING_RGB, DM_IMAGE_PACKING_BGR,
                                    DM_IMAGE_PACKING_CbYCrY};
        for (DMpacking from : colour)
            for (DMpacking to : colour)
                if (from != to)
                    l.push_back({Kind::Repack, from, to});
        for (DMpacking from : {DM_IMAGE_PACKING_RGBA, DM_IMAGE_PACKING_ABGR,
                               DM_IMAGE_PACKING_CbYCrY})
            l.push_back({Kind::Repack, from, DM_IMAGE_PACKING_LUMINANCE});
        l.push_back({Kind::JpegEncode, DM_IMAGE_PACKING_ABGR,
                     DM_IMAGE_PACKING_CbYCrY});
        l.push_back({Kind::JpegDecode, DM_IMAGE_PACKING_CbYCrY,
                     DM_IMAGE_PACKING_RGBA});
        return l;
    }();
    return list;
}

std::string engineName(const ConverterInfo &c)
{
    switch (c.kind) {
    case Kind::JpegEncode: return "TurboJPEG JPEG compressor";
    case Kind::JpegDecode: return "TurboJPEG JPEG decompressor";
    default:
        return std::string("pixel converter ") + packingName(c.srcPacking) +
               " to " + packingName(c.dstPacking);
    }
}

// Image format as set by the caller.
struct Format {
    bool set = false;
    int width = 0, height = 0;
    int packing = 0;
    int orientation = DM_IMAGE_BOTTOM_TO_TOP;
    bool jpeg = false;
};

bool readFormat(const DMparams *params, bool wantJpeg, Format &f)
{
    if (params == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no image description");
        return false;
    }
    if (dmParamsGetElemType(params, DM_IMAGE_WIDTH) != DM_TYPE_INT ||
        dmParamsGetElemType(params, DM_IMAGE_HEIGHT) != DM_TYPE_INT ||
        dmParamsGetElemType(params, DM_IMAGE_PACKING) != DM_TYPE_ENUM) {
        dmSetError(DM_ERR_BAD_ARGUMENT,
                   "image description lacks width, height or packing");
        return false;
    }
    Format n;
    n.width = dmParamsGetInt(params, DM_IMAGE_WIDTH);
    n.height = dmParamsGetInt(params, DM_IMAGE_HEIGHT);
    n.packing = dmParamsGetEnum(params, DM_IMAGE_PACKING);
    if (n.width <= 0 || n.height <= 0 || n.width > 16384 || n.height > 16384 ||
        dmImagePackingBytes(n.packing) == 0) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "unusable image size %d x %d or packing %d",
                   n.width, n.height, n.packing);
        return false;
    }
    if (dmParamsGetElemType(params, DM_IMAGE_ORIENTATION) == DM_TYPE_ENUM)
        n.orientation = dmParamsGetEnum(params, DM_IMAGE_ORIENTATION);
    if (n.orientation != DM_IMAGE_TOP_TO_BOTTOM &&
        n.orientation != DM_IMAGE_BOTTOM_TO_TOP) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "unknown orientation %d", n.orientation);
        return false;
    }
    if (dmParamsGetElemType(params, DM_IMAGE_INTERLACING) == DM_TYPE_ENUM &&
        dmParamsGetEnum(params, DM_IMAGE_INTERLACING) != DM_IMAGE_NONINTERLACED) {
        dmSetError(DM_ERR_UNSUPPORTED, "interlaced images are not converted");
        return false;
    }
    const char *compression = DM_IMAGE_UNCOMPRESSED;
    if (dmParamsGetElemType(params, DM_IMAGE_COMPRESSION) == DM_TYPE_STRING)
        compression = dmParamsGetString(params, DM_IMAGE_COMPRESSION);
    n.jpeg = std::strcmp(compression, DM_IMAGE_JPEG) == 0;
    if (!n.jpeg && std::strcmp(compression, DM_IMAGE_UNCOMPRESSED) != 0) {
        dmSetError(DM_ERR_UNSUPPORTED, "unknown compression \"%s\"", compression);
        return false;
    }
    if (n.jpeg != wantJpeg) {
        dmSetError(DM_ERR_UNSUPPORTED, "this converter takes %s images here",
                   wantJpeg ? "JPEG" : "uncompressed");
        return false;
    }
    n.set = true;
    f = n;
    return true;
}

// Pixels of one row to and from RGBA bytes. CbYCrY is full-range
// ITU-R BT.601 as in JFIF, two pixels sharing one colour difference pair.
inline unsigned char clampByte(int v)
{
    return (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
}

void unpackRow(const unsigned char *src, int packing, int width,
               unsigned char *rgba)
{
    for (int x = 0; x < width; ++x) {
        unsigned char *d = rgba + 4 * x;
        const unsigned char *s;
        switch (packing) {
        case DM_IMAGE_PACKING_RGBA:
        case DM_IMAGE_PACKING_RGBX:
            s = src + 4 * x;
            d[0] = s[0], d[1] = s[1], d[2] = s[2];
            d[3] = packing == DM_IMAGE_PACKING_RGBA ? s[3] : 255;
            break;
        case DM_IMAGE_PACKING_ABGR:
        case DM_IMAGE_PACKING_XBGR:
            s = src + 4 * x;
            d[0] = s[3], d[1] = s[2], d[2] = s[1];
            d[3] = packing == DM_IMAGE_PACKING_ABGR ? s[0] : 255;
            break;
        case DM_IMAGE_PACKING_RGB:
            s = src + 3 * x;
            d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
            break;
        case DM_IMAGE_PACKING_BGR:
            s = src + 3 * x;
            d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = 255;
            break;
        case DM_IMAGE_PACKING_LUMINANCE:
            d[0] = d[1] = d[2] = src[x], d[3] = 255;
            break;
        case DM_IMAGE_PACKING_CbYCrY: {
            s = src + 4 * (x / 2);
            int cb = s[0] - 128, cr = s[2] - 128;
            int y = s[(x & 1) ? 3 : 1];
            d[0] = clampByte(y + ((91881 * cr + 32768) >> 16));
            d[1] = clampByte(y - ((22554 * cb + 46802 * cr - 32768) >> 16));
            d[2] = clampByte(y + ((116130 * cb + 32768) >> 16));
            d[3] = 255;
            break;
        }
        }
    }
}

inline int luma(const unsigned char *p)
{
    return (19595 * p[0] + 38470 * p[1] + 7471 * p[2] + 32768) >> 16;
}

void packRow(const unsigned char *rgba, int packing, int width,
             unsigned char *dst)
{
    if (packing == DM_IMAGE_PACKING_CbYCrY) {
        for (int x = 0; x < width; x += 2) {
            const unsigned char *p0 = rgba + 4 * x;
            const unsigned char *p1 = x + 1 < width ? p0 + 4 : p0;
            int r = (p0[0] + p1[0] + 1) / 2, g = (p0[1] + p1[1] + 1) / 2,
                b = (p0[2] + p1[2] + 1) / 2;
            unsigned char *d = dst + 2 * x;
            d[0] = clampByte(128 + ((-11059 * r - 21709 * g + 32768 * b + 32768) >> 16));
            d[1] = (unsigned char)luma(p0);
            d[2] = clampByte(128 + ((32768 * r - 27439 * g - 5329 * b + 32768) >> 16));
            d[3] = (unsigned char)luma(p1);
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        const unsigned char *s = rgba + 4 * x;
        unsigned char *d;
        switch (packing) {
        case DM_IMAGE_PACKING_RGBA:
        case DM_IMAGE_PACKING_RGBX:
            d = dst + 4 * x;
            d[0] = s[0], d[1] = s[1], d[2] = s[2];
            d[3] = packing == DM_IMAGE_PACKING_RGBA ? s[3] : 255;
            break;
        case DM_IMAGE_PACKING_ABGR:
        case DM_IMAGE_PACKING_XBGR:
            d = dst + 4 * x;
            d[0] = packing == DM_IMAGE_PACKING_ABGR ? s[3] : 255;
            d[1] = s[2], d[2] = s[1], d[3] = s[0];
            break;
        case DM_IMAGE_PACKING_RGB:
            d = dst + 3 * x;
            d[0] = s[0], d[1] = s[1], d[2] = s[2];
            break;
        case DM_IMAGE_PACKING_BGR:
            d = dst + 3 * x;
            d[0] = s[2], d[1] = s[1], d[2] = s[0];
            break;
        case DM_IMAGE_PACKING_LUMINANCE:
            dst[x] = (unsigned char)luma(s);
            break;
        }
    }
}

size_t rowBytes(int packing, int width)
{
    if (packing == DM_IMAGE_PACKING_CbYCrY)
        return (size_t)((width + 1) / 2) * 4;
    return (size_t)width * (size_t)dmImagePackingBytes(packing);
}

size_t frameBytes(const Format &f)
{
    return rowBytes(f.packing, f.width) * (size_t)f.height;
}

// Rows of one image in another packing and, where the orientations
// differ, in the opposite order.
void repack(const unsigned char *src, const Format &sf, unsigned char *dst,
            const Format &df)
{
    std::vector<unsigned char> row((size_t)sf.width * 4);
    size_t srcRow = rowBytes(sf.packing, sf.width);
    size_t dstRow = rowBytes(df.packing, df.width);
    bool flip = sf.orientation != df.orientation;
    for (int y = 0; y < sf.height; ++y) {
        int dy = flip ? sf.height - 1 - y : y;
        unsigned char *out = dst + (size_t)dy * dstRow;
        const unsigned char *in = src + (size_t)y * srcRow;
        if (sf.packing == df.packing)
            std::memcpy(out, in, srcRow);
        else {
            unpackRow(in, sf.packing, sf.width, row.data());
            packRow(row.data(), df.packing, df.width, out);
        }
    }
}

int tjFormat(int packing)
{
    switch (packing) {
    case DM_IMAGE_PACKING_RGBA: return TJPF_RGBA;
    case DM_IMAGE_PACKING_ABGR: return TJPF_ABGR;
    case DM_IMAGE_PACKING_RGBX: return TJPF_RGBX;
    case DM_IMAGE_PACKING_XBGR: return TJPF_XBGR;
    case DM_IMAGE_PACKING_RGB: return TJPF_RGB;
    case DM_IMAGE_PACKING_BGR: return TJPF_BGR;
    case DM_IMAGE_PACKING_LUMINANCE: return TJPF_GRAY;
    default: return -1;
    }
}

int tjSubsampling(int packing)
{
    switch (packing) {
    case DM_IMAGE_PACKING_CbYCrY: return TJSAMP_422;
    case DM_IMAGE_PACKING_LUMINANCE: return TJSAMP_GRAY;
    default: return TJSAMP_444;
    }
}

} // namespace

struct _DMimageconverter {
    int index = -1;
    ConverterInfo info{};
    Format src, dst;
    double quality = 0.75;
    DMbufferpool dstPool = nullptr;
    std::deque<DMbuffer> queue;
    tjhandle tj = nullptr;
    std::vector<unsigned char> scratch;
};

int dmICGetNum(void)
{
    return (int)converterList().size();
}

static bool validIndex(int index)
{
    if (index < 0 || index >= dmICGetNum()) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no image converter %d (there are %d)",
                   index, dmICGetNum());
        return false;
    }
    return true;
}

DMstatus dmICGetDescription(int index, DMparams *d)
{
    if (!validIndex(index))
        return DM_FAILURE;
    if (d == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no parameter list");
        return DM_FAILURE;
    }
    const ConverterInfo &c = converterList()[(size_t)index];
    int direction = c.kind == Kind::JpegEncode   ? DM_IC_CODE_DIRECTION_ENCODE
                    : c.kind == Kind::JpegDecode ? DM_IC_CODE_DIRECTION_DECODE
                                                 : DM_IC_CODE_DIRECTION_UNDEFINED;
    dmParamsSetInt(d, DM_IC_ID, index);
    dmParamsSetString(d, DM_IC_ENGINE, engineName(c).c_str());
    dmParamsSetEnum(d, DM_IC_SPEED,
                    c.kind == Kind::Repack ? DM_IC_SPEED_REALTIME
                                           : DM_IC_SPEED_NONREALTIME);
    dmParamsSetEnum(d, DM_IC_CODE_DIRECTION, direction);
    dmParamsSetInt(d, DM_IC_VERSION, 1);
    dmParamsSetInt(d, DM_IC_REVISION, 0);
    dmParamsSetString(d, DM_IC_SRC_COMPRESSION,
                      c.kind == Kind::JpegDecode ? DM_IMAGE_JPEG
                                                 : DM_IMAGE_UNCOMPRESSED);
    dmParamsSetString(d, DM_IC_DST_COMPRESSION,
                      c.kind == Kind::JpegEncode ? DM_IMAGE_JPEG
                                                 : DM_IMAGE_UNCOMPRESSED);
    dmParamsSetEnum(d, DM_IC_SRC_PACKING, c.srcPacking);
    dmParamsSetEnum(d, DM_IC_DST_PACKING, c.dstPacking);
    return DM_SUCCESS;
}

DMstatus dmICCreate(int index, DMimageconverter *converter)
{
    if (!validIndex(index))
        return DM_FAILURE;
    if (converter == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no place for the converter");
        return DM_FAILURE;
    }
    DMimageconverter ic = new _DMimageconverter;
    ic->index = index;
    ic->info = converterList()[(size_t)index];
    if (ic->info.kind != Kind::Repack) {
        ic->tj = ic->info.kind == Kind::JpegEncode ? tjInitCompress()
                                                   : tjInitDecompress();
        if (ic->tj == nullptr) {
            dmSetError(DM_ERR_NO_MEMORY, "TurboJPEG: %s",
                       tjGetErrorStr2(nullptr));
            delete ic;
            return DM_FAILURE;
        }
    }
    *converter = ic;
    return DM_SUCCESS;
}

DMstatus dmICDestroy(DMimageconverter ic)
{
    if (ic == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter");
        return DM_FAILURE;
    }
    for (DMbuffer b : ic->queue)
        dmBufferFree(b);
    if (ic->tj != nullptr)
        tjDestroy(ic->tj);
    delete ic;
    return DM_SUCCESS;
}

static DMstatus defaults(DMimageconverter ic, DMparams *p, bool source)
{
    if (ic == nullptr || p == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter or parameter list");
        return DM_FAILURE;
    }
    DMpacking packing = source ? ic->info.srcPacking : ic->info.dstPacking;
    if (dmSetImageDefaults(p, 640, 480, packing) != DM_SUCCESS)
        return DM_FAILURE;
    bool jpeg = source ? ic->info.kind == Kind::JpegDecode
                       : ic->info.kind == Kind::JpegEncode;
    if (jpeg) {
        dmParamsSetString(p, DM_IMAGE_COMPRESSION, DM_IMAGE_JPEG);
        dmParamsSetEnum(p, DM_IMAGE_ORIENTATION, DM_IMAGE_TOP_TO_BOTTOM);
    }
    return DM_SUCCESS;
}

static void describe(const Format &f, DMparams *p)
{
    dmSetImageDefaults(p, f.width, f.height, (DMpacking)f.packing);
    dmParamsSetEnum(p, DM_IMAGE_ORIENTATION, f.orientation);
    if (f.jpeg)
        dmParamsSetString(p, DM_IMAGE_COMPRESSION, DM_IMAGE_JPEG);
}

DMstatus dmICGetDefaultSrcParams(DMimageconverter ic, DMparams *p)
{
    return defaults(ic, p, true);
}

DMstatus dmICGetDefaultDstParams(DMimageconverter ic, DMparams *p)
{
    return defaults(ic, p, false);
}

DMstatus dmICSetSrcParams(DMimageconverter ic, const DMparams *p)
{
    if (ic == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter");
        return DM_FAILURE;
    }
    return readFormat(p, ic->info.kind == Kind::JpegDecode, ic->src)
               ? DM_SUCCESS
               : DM_FAILURE;
}

DMstatus dmICSetDstParams(DMimageconverter ic, const DMparams *p)
{
    if (ic == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter");
        return DM_FAILURE;
    }
    return readFormat(p, ic->info.kind == Kind::JpegEncode, ic->dst)
               ? DM_SUCCESS
               : DM_FAILURE;
}

DMstatus dmICGetSrcParams(DMimageconverter ic, DMparams *p)
{
    if (ic == nullptr || p == nullptr || !ic->src.set) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no source format set");
        return DM_FAILURE;
    }
    describe(ic->src, p);
    return DM_SUCCESS;
}

DMstatus dmICGetDstParams(DMimageconverter ic, DMparams *p)
{
    if (ic == nullptr || p == nullptr || !ic->dst.set) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no destination format set");
        return DM_FAILURE;
    }
    describe(ic->dst, p);
    return DM_SUCCESS;
}

DMstatus dmICGetDefaultConvParams(DMimageconverter ic, DMparams *p)
{
    if (ic == nullptr || p == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter or parameter list");
        return DM_FAILURE;
    }
    if (ic->info.kind == Kind::JpegEncode)
        return dmParamsSetFloat(p, DM_IMAGE_QUALITY_SPATIAL, 0.75);
    return DM_SUCCESS;
}

DMstatus dmICSetConvParams(DMimageconverter ic, const DMparams *p)
{
    if (ic == nullptr || p == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter or parameter list");
        return DM_FAILURE;
    }
    if (dmParamsGetElemType(p, DM_IMAGE_QUALITY_SPATIAL) == DM_TYPE_FLOAT) {
        double q = dmParamsGetFloat(p, DM_IMAGE_QUALITY_SPATIAL);
        if (!(q >= 0.0 && q <= 1.0)) {
            dmSetError(DM_ERR_BAD_ARGUMENT, "quality %g outside 0 … 1", q);
            return DM_FAILURE;
        }
        ic->quality = q;
    }
    return DM_SUCCESS;
}

static DMstatus poolParams(DMimageconverter ic, DMparams *p, bool source)
{
    if (ic == nullptr || p == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter or parameter list");
        return DM_FAILURE;
    }
    const Format &f = source ? ic->src : ic->dst;
    if (!f.set) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "set the %s format first",
                   source ? "source" : "destination");
        return DM_FAILURE;
    }
    // One frame; a compressed one at most the compressor's bound.
    size_t need = f.jpeg ? (size_t)tjBufSize(f.width, f.height,
                                             source ? TJSAMP_444
                                                    : tjSubsampling(f.packing))
                         : frameBytes(f);
    int count = dmParamsGetElemType(p, DM_BUFFER_COUNT) == DM_TYPE_INT
                    ? dmParamsGetInt(p, DM_BUFFER_COUNT)
                    : 0;
    int size = dmParamsGetElemType(p, DM_BUFFER_SIZE) == DM_TYPE_INT
                   ? dmParamsGetInt(p, DM_BUFFER_SIZE)
                   : 0;
    dmParamsSetInt(p, DM_BUFFER_COUNT, std::max(count, 1));
    dmParamsSetInt(p, DM_BUFFER_SIZE, std::max(size, (int)need));
    if (dmParamsGetElemType(p, DM_BUFFER_CACHEABLE) != DM_TYPE_ENUM)
        dmParamsSetEnum(p, DM_BUFFER_CACHEABLE, 1);
    if (dmParamsGetElemType(p, DM_BUFFER_MAPPED) != DM_TYPE_ENUM)
        dmParamsSetEnum(p, DM_BUFFER_MAPPED, 0);
    return DM_SUCCESS;
}

DMstatus dmICGetSrcPoolParams(DMimageconverter ic, DMparams *p)
{
    return poolParams(ic, p, true);
}

DMstatus dmICGetDstPoolParams(DMimageconverter ic, DMparams *p)
{
    return poolParams(ic, p, false);
}

DMstatus dmICSetDstPool(DMimageconverter ic, DMbufferpool pool)
{
    if (ic == nullptr || pool == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter or pool");
        return DM_FAILURE;
    }
    ic->dstPool = pool;
    return DM_SUCCESS;
}

static bool encode(DMimageconverter ic, const unsigned char *in, DMbuffer out)
{
    const Format &s = ic->src, &d = ic->dst;
    int format = tjFormat(s.packing);
    const unsigned char *pixels = in;
    int pitch = (int)rowBytes(s.packing, s.width);
    if (format < 0) { // CbYCrY source: through RGBA
        ic->scratch.resize((size_t)s.width * (size_t)s.height * 4);
        Format rgba = s;
        rgba.packing = DM_IMAGE_PACKING_RGBA;
        repack(in, s, ic->scratch.data(), rgba);
        pixels = ic->scratch.data();
        format = TJPF_RGBA;
        pitch = s.width * 4;
    }
    int flags = s.orientation != d.orientation ? TJFLAG_BOTTOMUP : 0;
    int subsampling = tjSubsampling(d.packing);
    int quality = std::max(1, (int)(ic->quality * 100.0 + 0.5));
    unsigned char *jpeg = (unsigned char *)dmBufferMapData(out);
    unsigned long size = (unsigned long)dmBufferGetAllocSize(out);
    bool inPlace = size >= tjBufSize(d.width, d.height, subsampling);
    if (!inPlace)
        jpeg = nullptr, size = 0;
    if (tjCompress2(ic->tj, pixels, s.width, pitch, s.height, format, &jpeg,
                    &size, subsampling, quality,
                    flags | (inPlace ? TJFLAG_NOREALLOC : 0)) != 0) {
        dmSetError(DM_ERR_CONVERSION, "JPEG compression: %s",
                   tjGetErrorStr2(ic->tj));
        if (!inPlace)
            tjFree(jpeg);
        return false;
    }
    if (!inPlace) {
        bool fits = size <= dmBufferGetAllocSize(out);
        if (fits)
            std::memcpy(dmBufferMapData(out), jpeg, size);
        tjFree(jpeg);
        if (!fits) {
            dmSetError(DM_ERR_NO_BUFFER,
                       "compressed frame of %lu bytes exceeds the %zu-byte "
                       "buffer",
                       size, dmBufferGetAllocSize(out));
            return false;
        }
    }
    dmBufferSetSize(out, size);
    return true;
}

static bool decode(DMimageconverter ic, DMbuffer in, DMbuffer out)
{
    const Format &d = ic->dst;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    const unsigned char *jpeg = (const unsigned char *)dmBufferMapData(in);
    unsigned long size = (unsigned long)dmBufferGetSize(in);
    if (tjDecompressHeader3(ic->tj, jpeg, size, &width, &height, &subsampling,
                            &colourspace) != 0) {
        dmSetError(DM_ERR_CONVERSION, "JPEG header: %s", tjGetErrorStr2(ic->tj));
        return false;
    }
    if (width != d.width || height != d.height) {
        dmSetError(DM_ERR_CONVERSION, "JPEG frame is %d x %d, not %d x %d",
                   width, height, d.width, d.height);
        return false;
    }
    if (frameBytes(d) > dmBufferGetAllocSize(out)) {
        dmSetError(DM_ERR_NO_BUFFER, "destination buffer too small");
        return false;
    }
    // JPEG rows run top to bottom.
    int flags = d.orientation == DM_IMAGE_BOTTOM_TO_TOP ? TJFLAG_BOTTOMUP : 0;
    unsigned char *pixels = (unsigned char *)dmBufferMapData(out);
    int format = tjFormat(d.packing);
    if (format < 0) {
        ic->scratch.resize((size_t)width * (size_t)height * 4);
        pixels = ic->scratch.data();
        format = TJPF_RGBA;
    }
    if (tjDecompress2(ic->tj, jpeg, size, pixels, width, 0, height, format,
                      flags) != 0) {
        dmSetError(DM_ERR_CONVERSION, "JPEG decompression: %s",
                   tjGetErrorStr2(ic->tj));
        return false;
    }
    if (pixels == ic->scratch.data()) {
        Format rgba = d;
        rgba.packing = DM_IMAGE_PACKING_RGBA;
        repack(pixels, rgba, (unsigned char *)dmBufferMapData(out), d);
    }
    dmBufferSetSize(out, frameBytes(d));
    return true;
}

DMstatus dmICSend(DMimageconverter ic, DMbuffer buffer, int numParams,
                  DMparams **params)
{
    if (ic == nullptr || buffer == nullptr || numParams < 0 ||
        (numParams > 0 && params == nullptr)) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter or no buffer");
        return DM_FAILURE;
    }
    if (!ic->src.set || !ic->dst.set || ic->dstPool == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT,
                   "source format, destination format and destination pool "
                   "must be set before sending");
        return DM_FAILURE;
    }
    if (ic->src.width != ic->dst.width || ic->src.height != ic->dst.height) {
        dmSetError(DM_ERR_UNSUPPORTED, "converters do not scale (%d x %d to %d x %d)",
                   ic->src.width, ic->src.height, ic->dst.width, ic->dst.height);
        return DM_FAILURE;
    }
    for (int i = 0; i < numParams; ++i)
        if (params[i] != nullptr && dmICSetConvParams(ic, params[i]) != DM_SUCCESS)
            return DM_FAILURE;
    if (!ic->src.jpeg && dmBufferGetAllocSize(buffer) < frameBytes(ic->src)) {
        dmSetError(DM_ERR_NO_BUFFER, "source buffer of %zu bytes holds no %zu-byte frame",
                   dmBufferGetAllocSize(buffer), frameBytes(ic->src));
        return DM_FAILURE;
    }
    DMbuffer out = nullptr;
    if (dmBufferAllocate(ic->dstPool, &out) != DM_SUCCESS) {
        dmSetError(DM_ERR_NO_BUFFER, "no free buffer in the destination pool");
        return DM_FAILURE;
    }
    bool ok;
    const unsigned char *in = (const unsigned char *)dmBufferMapData(buffer);
    switch (ic->info.kind) {
    case Kind::JpegEncode:
        ok = encode(ic, in, out);
        break;
    case Kind::JpegDecode:
        ok = decode(ic, buffer, out);
        break;
    default:
        if (dmBufferGetAllocSize(out) < frameBytes(ic->dst)) {
            dmSetError(DM_ERR_NO_BUFFER, "destination buffer too small");
            ok = false;
            break;
        }
        repack(in, ic->src, (unsigned char *)dmBufferMapData(out), ic->dst);
        dmBufferSetSize(out, frameBytes(ic->dst));
        ok = true;
    }
    if (!ok) {
        dmBufferFree(out);
        return DM_FAILURE;
    }
    ic->queue.push_back(out);
    return DM_SUCCESS;
}

int dmICGetDstQueueFilled(DMimageconverter ic)
{
    return ic != nullptr ? (int)ic->queue.size() : 0;
}

DMstatus dmICReceive(DMimageconverter ic, DMbuffer *buffer)
{
    if (ic == nullptr || buffer == nullptr) {
        dmSetError(DM_ERR_BAD_ARGUMENT, "no converter or no place for the buffer");
        return DM_FAILURE;
    }
    if (ic->queue.empty()) {
        dmSetError(DM_ERR_QUEUE_EMPTY, "no converted buffer waits");
        return DM_FAILURE;
    }
    *buffer = ic->queue.front();
    ic->queue.pop_front();
    return DM_SUCCESS;
}
