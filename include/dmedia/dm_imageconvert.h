// Image converters of the digital-media layer: pixel-format converters
// and a JPEG compressor and decompressor (TurboJPEG). A converter reads a
// source buffer sent to it and delivers its result in a buffer of its
// destination pool, queued until received.
#ifndef QV_DM_IMAGECONVERT_H
#define QV_DM_IMAGECONVERT_H

#include <dmedia/dm_buffer.h>
#include <dmedia/dm_image.h>

typedef struct _DMimageconverter *DMimageconverter;

// Description keys.
#define DM_IC_ID "DM_IC_ID"                         // int, index in the list
#define DM_IC_ENGINE "DM_IC_ENGINE"                 // string, name
#define DM_IC_SPEED "DM_IC_SPEED"                   // enum DMicspeed
#define DM_IC_CODE_DIRECTION "DM_IC_CODE_DIRECTION" // enum DMiccodedirection
#define DM_IC_VERSION "DM_IC_VERSION"               // int
#define DM_IC_REVISION "DM_IC_REVISION"             // int
#define DM_IC_SRC_COMPRESSION "DM_IC_SRC_COMPRESSION" // string
#define DM_IC_DST_COMPRESSION "DM_IC_DST_COMPRESSION" // string
#define DM_IC_SRC_PACKING "DM_IC_SRC_PACKING"       // enum, default source
#define DM_IC_DST_PACKING "DM_IC_DST_PACKING"       // enum, default destination

typedef enum {
    DM_IC_SPEED_UNDEFINED = 0,
    DM_IC_SPEED_REALTIME = 1,
    DM_IC_SPEED_NONREALTIME = 2
} DMicspeed;

typedef enum {
    DM_IC_CODE_DIRECTION_UNDEFINED = 0,
    DM_IC_CODE_DIRECTION_ENCODE = 1,
    DM_IC_CODE_DIRECTION_DECODE = 2
} DMiccodedirection;

// Index of the JPEG compressor in the list.
#define DM_IC_JPEG_ENCODER 23

int dmICGetNum(void);
DMstatus dmICGetDescription(int index, DMparams *description);

DMstatus dmICCreate(int index, DMimageconverter *converter);
DMstatus dmICDestroy(DMimageconverter converter);

// Formats: the defaults describe 640 × 480 frames of the converter's own
// packings; the caller adjusts and sets them. A converter accepts any
// uncompressed packing on its uncompressed side.
DMstatus dmICGetDefaultSrcParams(DMimageconverter converter, DMparams *params);
DMstatus dmICSetSrcParams(DMimageconverter converter, const DMparams *params);
DMstatus dmICGetSrcParams(DMimageconverter converter, DMparams *params);
DMstatus dmICGetDefaultDstParams(DMimageconverter converter, DMparams *params);
DMstatus dmICSetDstParams(DMimageconverter converter, const DMparams *params);
DMstatus dmICGetDstParams(DMimageconverter converter, DMparams *params);
// Conversion settings: "DM_IMAGE_QUALITY_SPATIAL" (0 … 1) for JPEG.
DMstatus dmICGetDefaultConvParams(DMimageconverter converter, DMparams *params);
DMstatus dmICSetConvParams(DMimageconverter converter, const DMparams *params);

// Raise a pool description to what the converter needs (at least one
// buffer of one source or destination frame).
DMstatus dmICGetSrcPoolParams(DMimageconverter converter, DMparams *params);
DMstatus dmICGetDstPoolParams(DMimageconverter converter, DMparams *params);
// The pool the results are delivered in.
DMstatus dmICSetDstPool(DMimageconverter converter, DMbufferpool pool);

// Converts the source buffer (the caller keeps its own hold on it) into a
// buffer of the destination pool and queues that; fails when the formats
// are not set, the buffer is too small or no destination buffer is free.
DMstatus dmICSend(DMimageconverter converter, DMbuffer buffer, int numParams,
                  DMparams **params);
// Results waiting to be received.
int dmICGetDstQueueFilled(DMimageconverter converter);
// The oldest result; the receiver frees it. Fails when none waits.
DMstatus dmICReceive(DMimageconverter converter, DMbuffer *buffer);

#endif
