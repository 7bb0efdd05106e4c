// Image descriptions of the digital-media layer.
#ifndef QV_DM_IMAGE_H
#define QV_DM_IMAGE_H

#include <dmedia/dm_params.h>

#define DM_MEDIUM "DM_MEDIUM"
typedef enum { DM_IMAGE = 1, DM_AUDIO = 2 } DMmedium;

#define DM_IMAGE_WIDTH "DM_IMAGE_WIDTH"             // int
#define DM_IMAGE_HEIGHT "DM_IMAGE_HEIGHT"           // int
#define DM_IMAGE_RATE "DM_IMAGE_RATE"               // float, frames per second
#define DM_IMAGE_COMPRESSION "DM_IMAGE_COMPRESSION" // string
#define DM_IMAGE_INTERLACING "DM_IMAGE_INTERLACING" // enum DMinterlacing
#define DM_IMAGE_PACKING "DM_IMAGE_PACKING"         // enum DMpacking
#define DM_IMAGE_ORIENTATION "DM_IMAGE_ORIENTATION" // enum DMorientation
#define DM_IMAGE_LAYOUT "DM_IMAGE_LAYOUT"           // enum DMimagelayout
#define DM_IMAGE_QUALITY_SPATIAL "DM_IMAGE_QUALITY_SPATIAL" // float 0 … 1

// Compression names.
#define DM_IMAGE_UNCOMPRESSED "None"
#define DM_IMAGE_JPEG "JPEG"

// Memory order of the components of one pixel, lowest address first
// (ABGR: alpha, blue, green, red). CbYCrY holds two pixels in four bytes
// (4:2:2); LUMINANCE one byte per pixel.
typedef enum {
    DM_IMAGE_PACKING_RGBA = 1,
    DM_IMAGE_PACKING_ABGR,
    DM_IMAGE_PACKING_RGBX,
    DM_IMAGE_PACKING_XBGR,
    DM_IMAGE_PACKING_RGB,
    DM_IMAGE_PACKING_BGR,
    DM_IMAGE_PACKING_CbYCrY,
    DM_IMAGE_PACKING_LUMINANCE
} DMpacking;

typedef enum {
    DM_IMAGE_NONINTERLACED = 1,
    DM_IMAGE_INTERLACED_EVEN,
    DM_IMAGE_INTERLACED_ODD
} DMinterlacing;

typedef enum { DM_IMAGE_TOP_TO_BOTTOM = 1, DM_IMAGE_BOTTOM_TO_TOP } DMorientation;

typedef enum { DM_IMAGE_LAYOUT_LINEAR = 1, DM_IMAGE_LAYOUT_GRAPHICS } DMimagelayout;

// Width, height and packing as given; uncompressed, 15 frames per second,
// not interlaced, bottom to top, linear, medium image.
DMstatus dmSetImageDefaults(DMparams *params, int width, int height,
                            DMpacking packing);

// Bytes of one uncompressed frame as described (width × height × bytes
// per pixel of the packing); 0 when the description is incomplete.
size_t dmImageFrameSize(const DMparams *params);

// Bytes one pixel takes in a packing (CbYCrY: 2); 0 for an unknown one.
int dmImagePackingBytes(int packing);

#endif
