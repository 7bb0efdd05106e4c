// The digital-media layer: parameter lists, descriptions, buffer pools and
// the image converters, checked against TurboJPEG's own decoder.
#include <dmedia/dm_audio.h>
#include <dmedia/dm_buffer.h>
#include <dmedia/dm_image.h>
#include <dmedia/dm_imageconvert.h>
#include <dmedia/dm_params.h>
#include <qvDebug.h>

#include <turbojpeg.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Params {
    DMparams *p = nullptr;
    Params() { dmParamsCreate(&p); }
    ~Params() { dmParamsDestroy(p); }
    operator DMparams *() { return p; }
};

TEST(DmParams, ValuesReadBackUnderTheirNamesAndTypes)
{
    Params p;
    ASSERT_EQ(dmParamsSetInt(p, "i", 7), DM_SUCCESS);
    ASSERT_EQ(dmParamsSetEnum(p, "e", 3), DM_SUCCESS);
    ASSERT_EQ(dmParamsSetFloat(p, "f", 2.5), DM_SUCCESS);
    ASSERT_EQ(dmParamsSetString(p, "s", "JPEG"), DM_SUCCESS);
    EXPECT_EQ(dmParamsGetInt(p, "i"), 7);
    EXPECT_EQ(dmParamsGetEnum(p, "e"), 3);
    EXPECT_DOUBLE_EQ(dmParamsGetFloat(p, "f"), 2.5);
    EXPECT_STREQ(dmParamsGetString(p, "s"), "JPEG");
    EXPECT_EQ(dmParamsGetNumElems(p), 4);
    EXPECT_STREQ(dmParamsGetElem(p, 2), "f");

    // Setting a name again replaces value and type in place.
    dmParamsSetString(p, "i", "seven");
    EXPECT_EQ(dmParamsGetElemType(p, "i"), DM_TYPE_STRING);
    EXPECT_EQ(dmParamsGetInt(p, "i"), 0);
    int number = 0;
    dmGetError(&number, nullptr);
    EXPECT_EQ(number, DM_ERR_WRONG_TYPE);
    EXPECT_EQ(dmParamsGetNumElems(p), 4);
    // A string set from the element's own text survives.
    dmParamsSetString(p, "s", dmParamsGetString(p, "s"));
    EXPECT_STREQ(dmParamsGetString(p, "s"), "JPEG");

    dmParamsRemoveElem(p, "e");
    dmParamsRemoveElem(p, "never there");
    EXPECT_FALSE(dmParamsIsPresent(p, "e"));
    EXPECT_EQ(dmParamsGetEnum(p, "e"), 0);
    EXPECT_EQ(dmParamsGetString(p, "missing"), nullptr);
    char detail[DM_MAX_ERROR_DETAIL];
    dmGetError(&number, detail);
    EXPECT_EQ(number, DM_ERR_NO_SUCH_ELEM);
    EXPECT_STREQ(detail, "no parameter \"missing\"");

    Params copy;
    dmParamsSetParams(p, "list", copy);
    ASSERT_EQ(dmParamsCopyAllElems(p, copy), DM_SUCCESS);
    EXPECT_STREQ(dmParamsGetString(copy, "s"), "JPEG");
    EXPECT_NE(dmParamsGetParams(copy, "list"), nullptr);
    EXPECT_EQ(dmParamsSetInt(nullptr, "x", 1), DM_FAILURE);
    EXPECT_EQ(dmParamsSetInt(p, "", 1), DM_FAILURE);
}

TEST(DmParams, ImageAndAudioDescriptionsAndFrameSizes)
{
    struct Case { int packing; size_t bytes; } cases[] = {
        {DM_IMAGE_PACKING_ABGR, 640 * 480 * 4}, {DM_IMAGE_PACKING_RGBA, 640 * 480 * 4},
        {DM_IMAGE_PACKING_RGB, 640 * 480 * 3}, {DM_IMAGE_PACKING_CbYCrY, 640 * 480 * 2},
        {DM_IMAGE_PACKING_LUMINANCE, 640 * 480}};
    for (const Case &c : cases) {
        Params p;
        ASSERT_EQ(dmSetImageDefaults(p, 640, 480, (DMpacking)c.packing), DM_SUCCESS);
        EXPECT_EQ(dmImageFrameSize(p), c.bytes) << c.packing;
        EXPECT_STREQ(dmParamsGetString(p, DM_IMAGE_COMPRESSION), DM_IMAGE_UNCOMPRESSED);
        EXPECT_EQ(dmParamsGetEnum(p, DM_IMAGE_ORIENTATION), DM_IMAGE_BOTTOM_TO_TOP);
        EXPECT_EQ(dmParamsGetEnum(p, DM_IMAGE_INTERLACING), DM_IMAGE_NONINTERLACED);
    }
    Params empty;
    EXPECT_EQ(dmImageFrameSize(empty), 0u);
    EXPECT_EQ(dmSetImageDefaults(empty, 0, 480, DM_IMAGE_PACKING_ABGR), DM_FAILURE);
    EXPECT_EQ(dmSetImageDefaults(empty, 640, 480, (DMpacking)99), DM_FAILURE);

    Params a;
    ASSERT_EQ(dmSetAudioDefaults(a, 16, 22050.0, 2), DM_SUCCESS);
    EXPECT_EQ(dmParamsGetInt(a, DM_AUDIO_WIDTH), 16);
    EXPECT_EQ(dmParamsGetEnum(a, DM_AUDIO_FORMAT), DM_AUDIO_TWOS_COMPLEMENT);
    EXPECT_DOUBLE_EQ(dmParamsGetFloat(a, DM_AUDIO_RATE), 22050.0);
    EXPECT_EQ(dmParamsGetInt(a, DM_AUDIO_CHANNELS), 2);
    EXPECT_EQ(dmAudioFrameSize(a), 4u);
    EXPECT_EQ(dmSetAudioDefaults(a, 12, 22050.0, 2), DM_FAILURE);
    EXPECT_EQ(dmSetAudioDefaults(a, 16, 0.0, 2), DM_FAILURE);
    EXPECT_EQ(dmSetAudioDefaults(a, 16, 8000.0, 0), DM_FAILURE);
}

TEST(DmBuffer, PoolsHandOutTheirBuffersAndTakeThemBack)
{
    Params p;
    dmBufferSetPoolDefaults(p, 1, 640 * 480 * 4, DM_TRUE, DM_FALSE);
    DMbufferpool pool;
    ASSERT_EQ(dmBufferCreatePool(p, &pool), DM_SUCCESS);
    DMbuffer a, b;
    ASSERT_EQ(dmBufferAllocate(pool, &a), DM_SUCCESS);
    EXPECT_EQ(dmBufferGetAllocSize(a), 640u * 480 * 4);
    EXPECT_EQ(dmBufferGetSize(a), 0u);
    EXPECT_EQ(dmBufferAllocate(pool, &b), DM_FAILURE);
    EXPECT_EQ(dmBufferDestroyPool(pool), DM_FAILURE); // still in use
    dmBufferAttach(a);
    dmBufferFree(a);
    EXPECT_EQ(dmBufferGetPoolFree(pool), 0);
    EXPECT_EQ(dmBufferSetSize(a, 640u * 480 * 4 + 1), DM_FAILURE);
    dmBufferFree(a);
    EXPECT_EQ(dmBufferFree(a), DM_FAILURE);
    ASSERT_EQ(dmBufferAllocate(pool, &b), DM_SUCCESS);
    EXPECT_EQ(b, a);
    dmBufferFree(b);
    EXPECT_EQ(dmBufferDestroyPool(pool), DM_SUCCESS);

    dmBufferSetPoolDefaults(p, 0, 100, DM_TRUE, DM_FALSE);
    EXPECT_EQ(dmBufferCreatePool(p, &pool), DM_FAILURE);
}

TEST(DmImageConvert, ListDescribesEveryConverterAnd23CompressesToJpeg)
{
    ASSERT_GT(dmICGetNum(), 23);
    for (int i = 0; i < dmICGetNum(); ++i) {
        Params d;
        ASSERT_EQ(dmICGetDescription(i, d), DM_SUCCESS);
        EXPECT_EQ(dmParamsGetInt(d, DM_IC_ID), i);
        EXPECT_NE(dmParamsGetString(d, DM_IC_ENGINE), nullptr);
        EXPECT_EQ(dmParamsGetElemType(d, DM_IC_SPEED), DM_TYPE_ENUM);
        EXPECT_EQ(dmParamsGetElemType(d, DM_IC_VERSION), DM_TYPE_INT);
        EXPECT_EQ(dmParamsGetElemType(d, DM_IC_REVISION), DM_TYPE_INT);
    }
    Params d;
    dmICGetDescription(23, d);
    EXPECT_EQ(dmParamsGetEnum(d, DM_IC_CODE_DIRECTION), DM_IC_CODE_DIRECTION_ENCODE);
    EXPECT_STREQ(dmParamsGetString(d, DM_IC_DST_COMPRESSION), DM_IMAGE_JPEG);
    EXPECT_EQ(dmICGetDescription(dmICGetNum(), d), DM_FAILURE);
    EXPECT_EQ(dmICGetDescription(-1, d), DM_FAILURE);
}

// Sets up a converter as the movie renderer does, with the given formats.
struct Converter {
    DMimageconverter ic = nullptr;
    DMbufferpool srcPool = nullptr, dstPool = nullptr;
    Converter(int index, int width, int height, int srcPacking, int srcOrientation,
              int dstPacking)
    {
        EXPECT_EQ(dmICCreate(index, &ic), DM_SUCCESS);
        Params s, d, ps, pd;
        dmICGetDefaultSrcParams(ic, s);
        dmParamsSetInt(s, DM_IMAGE_WIDTH, width);
        dmParamsSetInt(s, DM_IMAGE_HEIGHT, height);
        dmParamsSetEnum(s, DM_IMAGE_PACKING, srcPacking);
        dmParamsSetEnum(s, DM_IMAGE_ORIENTATION, srcOrientation);
        EXPECT_EQ(dmICSetSrcParams(ic, s), DM_SUCCESS) << dmGetError(nullptr, nullptr);
        dmICGetDefaultDstParams(ic, d);
        dmParamsSetInt(d, DM_IMAGE_WIDTH, width);
        dmParamsSetInt(d, DM_IMAGE_HEIGHT, height);
        dmParamsSetEnum(d, DM_IMAGE_PACKING, dstPacking);
        EXPECT_EQ(dmICSetDstParams(ic, d), DM_SUCCESS) << dmGetError(nullptr, nullptr);
        dmBufferSetPoolDefaults(ps, 1, width * height * 4, DM_TRUE, DM_FALSE);
        dmBufferSetPoolDefaults(pd, 1, width * height * 4, DM_TRUE, DM_FALSE);
        EXPECT_EQ(dmICGetSrcPoolParams(ic, ps), DM_SUCCESS);
        EXPECT_EQ(dmICGetDstPoolParams(ic, pd), DM_SUCCESS);
        EXPECT_EQ(dmBufferCreatePool(ps, &srcPool), DM_SUCCESS);
        EXPECT_EQ(dmBufferCreatePool(pd, &dstPool), DM_SUCCESS);
        EXPECT_EQ(dmICSetDstPool(ic, dstPool), DM_SUCCESS);
    }
    ~Converter()
    {
        dmICDestroy(ic);
        dmBufferDestroyPool(srcPool);
        dmBufferDestroyPool(dstPool);
    }
    // Sends bytes, returns the result's bytes.
    std::vector<unsigned char> convert(const std::vector<unsigned char> &in, size_t size = 0)
    {
        DMbuffer src, dst;
        EXPECT_EQ(dmBufferAllocate(srcPool, &src), DM_SUCCESS);
        std::memcpy(dmBufferMapData(src), in.data(), in.size());
        dmBufferSetSize(src, size != 0 ? size : in.size());
        EXPECT_EQ(dmICSend(ic, src, 0, nullptr), DM_SUCCESS) << dmGetError(nullptr, nullptr);
        dmBufferFree(src);
        EXPECT_EQ(dmICGetDstQueueFilled(ic), 1);
        EXPECT_EQ(dmICReceive(ic, &dst), DM_SUCCESS);
        const unsigned char *p = (const unsigned char *)dmBufferMapData(dst);
        std::vector<unsigned char> out(p, p + dmBufferGetSize(dst));
        dmBufferFree(dst);
        return out;
    }
};

// ABGR rows bottom to top: the lower half blue, the upper half red.
std::vector<unsigned char> redOverBlue(int w, int h)
{
    std::vector<unsigned char> img((size_t)w * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char *p = &img[((size_t)y * w + x) * 4];
            bool upper = y >= h / 2;
            p[0] = 255, p[1] = upper ? 0 : 255, p[2] = 0, p[3] = upper ? 255 : 0;
        }
    return img;
}

TEST(DmImageConvert, JpegOfBottomToTopAbgrFrameIsUpright)
{
    Converter c(DM_IC_JPEG_ENCODER, 640, 480, DM_IMAGE_PACKING_ABGR,
                DM_IMAGE_BOTTOM_TO_TOP, DM_IMAGE_PACKING_CbYCrY);
    std::vector<unsigned char> jpeg = c.convert(redOverBlue(640, 480));
    ASSERT_GT(jpeg.size(), 100u);
    ASSERT_EQ(jpeg[0], 0xFF);
    ASSERT_EQ(jpeg[1], 0xD8);

    tjhandle tj = tjInitDecompress();
    int w, h, samp, cs;
    ASSERT_EQ(tjDecompressHeader3(tj, jpeg.data(), jpeg.size(), &w, &h, &samp, &cs), 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(samp, TJSAMP_422);
    std::vector<unsigned char> rgb(640 * 480 * 3);
    ASSERT_EQ(tjDecompress2(tj, jpeg.data(), jpeg.size(), rgb.data(), 640, 0, 480, TJPF_RGB, 0), 0);
    tjDestroy(tj);
    const unsigned char *top = &rgb[(10 * 640 + 320) * 3];
    const unsigned char *bottom = &rgb[(470 * 640 + 320) * 3];
    EXPECT_GT(top[0], 200);
    EXPECT_LT(top[2], 60);
    EXPECT_GT(bottom[2], 200);
    EXPECT_LT(bottom[0], 60);

    // The decompressor brings it back, bottom to top again.
    Converter back(24, 640, 480, DM_IMAGE_PACKING_CbYCrY, DM_IMAGE_TOP_TO_BOTTOM,
                   DM_IMAGE_PACKING_ABGR);
    Params d;
    dmICGetDstParams(back.ic, d);
    dmParamsSetEnum(d, DM_IMAGE_ORIENTATION, DM_IMAGE_BOTTOM_TO_TOP);
    ASSERT_EQ(dmICSetDstParams(back.ic, d), DM_SUCCESS);
    std::vector<unsigned char> abgr = back.convert(jpeg);
    ASSERT_EQ(abgr.size(), 640u * 480 * 4);
    EXPECT_GT(abgr[(400 * 640 + 5) * 4 + 3], 200); // upper rows red
    EXPECT_GT(abgr[(40 * 640 + 5) * 4 + 1], 200);  // lower rows blue
}

TEST(DmImageConvert, PixelConvertersRepackAndFlip)
{
    // Two pixels on two rows, ABGR bottom to top.
    std::vector<unsigned char> abgr = {9, 30, 20, 10, 9, 60, 50, 40,
                                       9, 90, 80, 70, 9, 120, 110, 100};
    struct Case {
        int dstPacking;
        std::vector<unsigned char> expected; // top to bottom
    } cases[] = {
        {DM_IMAGE_PACKING_RGBA, {70, 80, 90, 9, 100, 110, 120, 9, 10, 20, 30, 9, 40, 50, 60, 9}},
        {DM_IMAGE_PACKING_RGB, {70, 80, 90, 100, 110, 120, 10, 20, 30, 40, 50, 60}},
        {DM_IMAGE_PACKING_BGR, {90, 80, 70, 120, 110, 100, 30, 20, 10, 60, 50, 40}},
    };
    for (const Case &k : cases) {
        int index = -1;
        for (int i = 0; i < dmICGetNum(); ++i) {
            Params d;
            dmICGetDescription(i, d);
            if (dmParamsGetEnum(d, DM_IC_SRC_PACKING) == DM_IMAGE_PACKING_ABGR &&
                dmParamsGetEnum(d, DM_IC_DST_PACKING) == k.dstPacking &&
                dmParamsGetEnum(d, DM_IC_CODE_DIRECTION) == DM_IC_CODE_DIRECTION_UNDEFINED)
                index = i;
        }
        ASSERT_GE(index, 0) << k.dstPacking;
        Converter c(index, 2, 2, DM_IMAGE_PACKING_ABGR, DM_IMAGE_BOTTOM_TO_TOP, k.dstPacking);
        Params d;
        dmICGetDstParams(c.ic, d);
        dmParamsSetEnum(d, DM_IMAGE_ORIENTATION, DM_IMAGE_TOP_TO_BOTTOM);
        dmICSetDstParams(c.ic, d);
        EXPECT_EQ(c.convert(abgr), k.expected) << k.dstPacking;
    }
    // Through CbYCrY and back a grey stays grey.
    Converter to(0, 2, 1, DM_IMAGE_PACKING_RGBA, DM_IMAGE_BOTTOM_TO_TOP, DM_IMAGE_PACKING_CbYCrY);
    std::vector<unsigned char> yuv = to.convert({100, 100, 100, 255, 100, 100, 100, 255});
    EXPECT_EQ(yuv, (std::vector<unsigned char>{128, 100, 128, 100}));
}

TEST(DmImageConvert, MisuseFailsWithARecordedReason)
{
    DMimageconverter ic;
    ASSERT_EQ(dmICCreate(DM_IC_JPEG_ENCODER, &ic), DM_SUCCESS);
    Params p;
    dmBufferSetPoolDefaults(p, 1, 16, DM_TRUE, DM_FALSE);
    DMbufferpool pool;
    ASSERT_EQ(dmBufferCreatePool(p, &pool), DM_SUCCESS);
    DMbuffer b;
    dmBufferAllocate(pool, &b);
    EXPECT_EQ(dmICSend(ic, b, 0, nullptr), DM_FAILURE); // formats not set
    EXPECT_EQ(dmICReceive(ic, &b), DM_FAILURE);
    int number;
    dmGetError(&number, nullptr);
    EXPECT_EQ(number, DM_ERR_QUEUE_EMPTY);
    EXPECT_EQ(dmICGetSrcPoolParams(ic, p), DM_FAILURE);
    Params s;
    dmICGetDefaultSrcParams(ic, s);
    dmParamsSetString(s, DM_IMAGE_COMPRESSION, DM_IMAGE_JPEG);
    EXPECT_EQ(dmICSetSrcParams(ic, s), DM_FAILURE); // the compressor takes pixels
    dmBufferFree(b);
    dmBufferDestroyPool(pool);
    dmICDestroy(ic);
}

TEST(DmImageConvertDeathTest, FailedCallGivesTheMediaReport)
{
    EXPECT_EXIT(
        {
            DMimageconverter ic;
            QV_DM_CHECK(dmICCreate(99, &ic));
        },
        ::testing::ExitedWithCode(1),
        "test_dmedia.cpp: dmedia Error Nr 1001 message:no image converter 99 \\(there are 25\\)\n"
        "Call: \\([0-9]+\\) dmICCreate\\(99, &ic\\)");
}

} // namespace
