#include <dmedia/dm_audio.h>
#include <dmedia/dm_image.h>

#include <climits>

int dmImagePackingBytes(int packing)
{
    switch (packing) {
    case DM_IMAGE_PACKING_RGBA:
    case DM_IMAGE_PACKING_ABGR:
    case DM_IMAGE_PACKING_RGBX:
    case DM_IMAGE_PACKING_XBGR:
        return 4;
    case DM_IMAGE_PACKING_RGB:
    case DM_IMAGE_PACKING_BGR:
        return 3;
    case DM_IMAGE_PACKING_CbYCrY:
        return 2;
    case DM_IMAGE_PACKING_LUMINANCE:
        return 1;
    default:
        return 0;
    }
}

DMstatus dmSetImageDefaults(DMparams *params, int width, int height,
                            DMpacking packing)
{
    if (params == nullptr || width <= 0 || height <= 0 ||
        dmImagePackingBytes(packing) == 0) {
        dmSetError(DM_ERR_BAD_ARGUMENT,
                   "image defaults need a list, a positive size and a "
                   "known packing");
        return DM_FAILURE;
    }
    if (dmParamsSetEnum(params, DM_MEDIUM, DM_IMAGE) != DM_SUCCESS ||
        dmParamsSetInt(params, DM_IMAGE_WIDTH, width) != DM_SUCCESS ||
        dmParamsSetInt(params, DM_IMAGE_HEIGHT, height) != DM_SUCCESS ||
        dmParamsSetFloat(params, DM_IMAGE_RATE, 15.0) != DM_SUCCESS ||
        dmParamsSetString(params, DM_IMAGE_COMPRESSION,
                          DM_IMAGE_UNCOMPRESSED) != DM_SUCCESS ||
        dmParamsSetEnum(params, DM_IMAGE_INTERLACING,
                        DM_IMAGE_NONINTERLACED) != DM_SUCCESS ||
        dmParamsSetEnum(params, DM_IMAGE_PACKING, packing) != DM_SUCCESS ||
        dmParamsSetEnum(params, DM_IMAGE_ORIENTATION,
                        DM_IMAGE_BOTTOM_TO_TOP) != DM_SUCCESS ||
        dmParamsSetEnum(params, DM_IMAGE_LAYOUT, DM_IMAGE_LAYOUT_LINEAR) !=
            DM_SUCCESS)
        return DM_FAILURE;
    return DM_SUCCESS;
}

size_t dmImageFrameSize(const DMparams *params)
{
    if (params == nullptr ||
        dmParamsGetElemType(params, DM_IMAGE_WIDTH) != DM_TYPE_INT ||
        dmParamsGetElemType(params, DM_IMAGE_HEIGHT) != DM_TYPE_INT ||
        dmParamsGetElemType(params, DM_IMAGE_PACKING) != DM_TYPE_ENUM)
        return 0;
    int width = dmParamsGetInt(params, DM_IMAGE_WIDTH);
    int height = dmParamsGetInt(params, DM_IMAGE_HEIGHT);
    int bytes = dmImagePackingBytes(dmParamsGetEnum(params, DM_IMAGE_PACKING));
    if (width <= 0 || height <= 0 || bytes == 0)
        return 0;
    return (size_t)width * (size_t)height * (size_t)bytes;
}

DMstatus dmSetAudioDefaults(DMparams *params, int bits, double rate,
                            int channels)
{
    if (params == nullptr ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        !(rate > 0.0) || channels <= 0) {
        dmSetError(DM_ERR_BAD_ARGUMENT,
                   "audio defaults need a list, a width of 8, 16, 24 or 32 "
                   "bits, a positive rate and channel count");
        return DM_FAILURE;
    }
    if (dmParamsSetEnum(params, DM_MEDIUM, DM_AUDIO) != DM_SUCCESS ||
        dmParamsSetInt(params, DM_AUDIO_WIDTH, bits) != DM_SUCCESS ||
        dmParamsSetEnum(params, DM_AUDIO_FORMAT, DM_AUDIO_TWOS_COMPLEMENT) !=
            DM_SUCCESS ||
        dmParamsSetFloat(params, DM_AUDIO_RATE, rate) != DM_SUCCESS ||
        dmParamsSetInt(params, DM_AUDIO_CHANNELS, channels) != DM_SUCCESS ||
        dmParamsSetString(params, DM_AUDIO_COMPRESSION,
                          DM_AUDIO_UNCOMPRESSED) != DM_SUCCESS ||
        dmParamsSetEnum(params, DM_AUDIO_BYTE_ORDER,
                        __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
                            ? DM_AUDIO_BIG_ENDIAN
                            : DM_AUDIO_LITTLE_ENDIAN) != DM_SUCCESS)
        return DM_FAILURE;
    return DM_SUCCESS;
}

size_t dmAudioFrameSize(const DMparams *params)
{
    if (params == nullptr ||
        dmParamsGetElemType(params, DM_AUDIO_WIDTH) != DM_TYPE_INT ||
        dmParamsGetElemType(params, DM_AUDIO_CHANNELS) != DM_TYPE_INT)
        return 0;
    int bits = dmParamsGetInt(params, DM_AUDIO_WIDTH);
    int channels = dmParamsGetInt(params, DM_AUDIO_CHANNELS);
    if (dmParamsGetElemType(params, DM_AUDIO_FORMAT) == DM_TYPE_ENUM &&
        dmParamsGetEnum(params, DM_AUDIO_FORMAT) == DM_AUDIO_DOUBLE)
        bits = 64;
    if (bits <= 0 || bits % 8 != 0 || channels <= 0)
        return 0;
    return (size_t)(bits / 8) * (size_t)channels;
}
