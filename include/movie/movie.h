// Movie layer: writes movie files in the QuickTime container through
// libavformat. An image track holds JPEG frames stored as they are given
// (no re-encoding); an audio track holds uncompressed PCM frames. The
// file is laid out when it is closed, so tracks can be added and frames
// inserted in any order until then.
#ifndef QV_MOVIE_H
#define QV_MOVIE_H

#include <dmedia/dm_audio.h>
#include <dmedia/dm_image.h>

#include <cstddef>

// A movie or one of its tracks.
typedef struct _MVobject *MVid;
typedef long long MVframe;

#define MV_FORMAT "MV_FORMAT"       // enum MVformat
#define MV_LOOP_MODE "MV_LOOP_MODE" // enum MVloopmode
#define MV_TITLE "MV_TITLE"         // string
#define MV_COMMENT "MV_COMMENT"     // string

// Every format is written in the QuickTime container.
typedef enum {
    MV_FORMAT_SGI_1 = 1,
    MV_FORMAT_SGI_2,
    MV_FORMAT_SGI_3,
    MV_FORMAT_QT
} MVformat;

typedef enum {
    MV_LOOP_NONE = 0,
    MV_LOOP_CONTINUOUSLY,
    MV_LOOP_SWINGING
} MVloopmode;

// Error numbers (mvGetErrno).
enum {
    MV_ERR_NONE = 0,
    MV_ERR_BAD_ARGUMENT = 2001,
    MV_ERR_PARAMS,
    MV_ERR_FILE,
    MV_ERR_FORMAT,
    MV_ERR_TRACK,
    MV_ERR_INDEX,
    MV_ERR_FRAME,
    MV_ERR_WRITE,
    MV_ERR_CLOSED
};

// Format as given, loop mode none, empty title and comment.
DMstatus mvSetMovieDefaults(DMparams *params, MVformat format);

// Creates (or truncates) the file; returnParams, when given, receives the
// movie's parameters.
DMstatus mvCreateFile(const char *filename, const DMparams *params,
                      DMparams *returnParams, MVid *movie);

// Image tracks: "DM_IMAGE_WIDTH", "DM_IMAGE_HEIGHT", "DM_IMAGE_RATE" and
// "DM_IMAGE_COMPRESSION" "JPEG". Audio tracks: "DM_AUDIO_WIDTH" (8, 16,
// 24 or 32 bits two's complement, or 32 float), "DM_AUDIO_RATE",
// "DM_AUDIO_CHANNELS". One track of each medium.
DMstatus mvAddTrack(MVid movie, DMmedium medium, const DMparams *params,
                    DMparams *returnParams, MVid *track);
DMstatus mvFindTrackByMedium(MVid movie, DMmedium medium, MVid *track);

// Inserts one JPEG frame of the track's size before frame index (index
// equal to the length appends).
DMstatus mvInsertCompressedImage(MVid imageTrack, MVframe index, size_t size,
                                 const void *data);
// Appends frames interleaved by channel; bufferSize must hold them.
DMstatus mvAppendFrames(MVid audioTrack, MVframe frames, size_t bufferSize,
                        const void *buffer);

// Frames in a track.
MVframe mvGetTrackLength(MVid track);
double mvGetImageRate(MVid imageTrack);
int mvGetImageWidth(MVid imageTrack);
int mvGetImageHeight(MVid imageTrack);
double mvGetAudioRate(MVid audioTrack);
int mvGetAudioChannels(MVid audioTrack);

// Writes the file and frees the movie and its tracks, also on failure.
DMstatus mvClose(MVid movie);

// Number of the last error of this thread, and a text for a number (the
// detail of the last error when it is that number).
int mvGetErrno(void);
const char *mvGetErrorStr(int errorNumber);

#endif
