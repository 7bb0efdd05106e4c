// Audio descriptions of the digital-media layer.
#ifndef QV_DM_AUDIO_H
#define QV_DM_AUDIO_H

#include <dmedia/dm_image.h>

#define DM_AUDIO_WIDTH "DM_AUDIO_WIDTH"             // int, bits per sample
#define DM_AUDIO_FORMAT "DM_AUDIO_FORMAT"           // enum DMaudioformat
#define DM_AUDIO_RATE "DM_AUDIO_RATE"               // float, frames per second
#define DM_AUDIO_CHANNELS "DM_AUDIO_CHANNELS"       // int
#define DM_AUDIO_COMPRESSION "DM_AUDIO_COMPRESSION" // string
#define DM_AUDIO_BYTE_ORDER "DM_AUDIO_BYTE_ORDER"   // enum DMaudiobyteorder

#define DM_AUDIO_UNCOMPRESSED "None"

typedef enum {
    DM_AUDIO_TWOS_COMPLEMENT = 1,
    DM_AUDIO_UNSIGNED,
    DM_AUDIO_FLOAT,
    DM_AUDIO_DOUBLE
} DMaudioformat;

typedef enum { DM_AUDIO_BIG_ENDIAN = 1, DM_AUDIO_LITTLE_ENDIAN } DMaudiobyteorder;

// Two's-complement samples of the given width, rate and channels,
// uncompressed, native byte order, medium audio. Widths 8, 16, 24 and 32
// and positive rates and channel counts are accepted.
DMstatus dmSetAudioDefaults(DMparams *params, int bits, double rate,
                            int channels);

// Bytes of one sample frame (all channels); 0 when incomplete.
size_t dmAudioFrameSize(const DMparams *params);

#endif
