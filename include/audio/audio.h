// Audio output ports in the manner of the workstation audio library, over
// ALSA or over a paced recording device.
//
// The device is chosen by the environment variable QV_AUDIO_DEVICE when a
// port opens:
//   (unset)              ALSA's "default" PCM
//   NAME                 any ALSA PCM name, e.g. "hw:0", "file:'/tmp/a.raw',raw"
//   paced:PATH           a device that consumes frames at the device rate on
//                        the real clock and appends every frame it plays to
//                        PATH as raw 32-bit floats (native order, interleaved);
//                        a second, third, ... port open at the same time
//                        appends to PATH.1, PATH.2, ...
//   paced,rate=R:PATH    the same, but the device runs at R frames per second
//                        whatever rate is asked for (as a device that cannot
//                        take every rate does)
//
// Samples are 32-bit floats in -1 ... 1, interleaved by channel. Calls
// that fail return a negative value (or none), set errno to an AL error
// number and record the failure for dmGetError; alGetErrorString gives
// its text.
#ifndef QV_AUDIO_H
#define QV_AUDIO_H

#include <dmedia/dmedia.h>

typedef struct qvALconfig *ALconfig;
typedef struct qvALport *ALport;

// Device resources and parameters.
#define AL_DEFAULT_OUTPUT 10
#define AL_RATE 1

// Sample formats for alSetSampFmt.
#define AL_SAMPFMT_TWOSCOMP 1
#define AL_SAMPFMT_FLOAT 32
#define AL_SAMPFMT_DOUBLE 64

// Error numbers (errno values after a failed call).
#define AL_BAD_CONFIG 1001
#define AL_BAD_CHANNELS 1002
#define AL_BAD_SAMPFMT 1003
#define AL_BAD_QSIZE 1004
#define AL_BAD_DEVICE 1005
#define AL_BAD_PORT 1006
#define AL_BAD_PARAM 1007
#define AL_BAD_RATE 1008
#define AL_BAD_FILLPOINT 1009
#define AL_BAD_DEVICE_ACCESS 1010

union ALvalue {
    int i;
    long long ll; // fixed point for AL_RATE (see alDoubleToFixed)
    void *ptr;
};

struct ALpv {
    int param;
    ALvalue value;
    short sizeIn;
    short size1In;
    short sizeOut;
    short size2Out;
};

ALconfig alNewConfig(void);
int alFreeConfig(ALconfig config);
int alSetChannels(ALconfig config, int channels);
int alGetChannels(ALconfig config);
int alSetSampFmt(ALconfig config, int format);
int alSetFloatMax(ALconfig config, double maximum);
// Queue length in frames.
int alSetQueueSize(ALconfig config, long long frames);
long long alGetQueueSize(ALconfig config);
int alSetDevice(ALconfig config, int resource);

// Opens an output port (mode "w"); none on failure.
ALport alOpenPort(const char *name, const char *mode, ALconfig config);
int alClosePort(ALport port);

// A descriptor that becomes readable when at least the fill point of
// frames fits into the port's queue; poll it for POLLIN.
int alGetFD(ALport port);
int alSetFillPoint(ALport port, int frames);
// Frames that fit into the queue now.
int alGetFillable(ALport port);
// Writes frames, waiting while the queue is full.
int alWriteFrames(ALport port, const void *frames, int count);
int alZeroFrames(ALport port, int count);
// Frame number of the next frame written to the port.
int alGetFrameNumber(ALport port, stamp_t *msc);
// A frame number and the time (dmGetUST nanoseconds) at which that frame
// left the device.
int alGetFrameTime(ALport port, stamp_t *msc, stamp_t *ust);

// Device parameters; AL_RATE is a fixed-point rate in frames per second.
// Setting the rate of a resource applies to its open ports and to ports
// opened later; reading it gives the rate the device actually runs at.
int alSetParams(int resource, ALpv *pvs, int count);
int alGetParams(int resource, ALpv *pvs, int count);
long long alDoubleToFixed(double value);
double alFixedToDouble(long long value);

// Text of an error number (the last failure's own text when it is that
// failure's number).
const char *alGetErrorString(int error);

#endif
