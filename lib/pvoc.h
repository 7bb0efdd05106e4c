// Phase-vocoder container: a fixed header, an info text, then the data.
// Every number in the file is a big-endian 32-bit word; in memory the
// header and the data are in host order.
#ifndef QV_PVOC_H
#define QV_PVOC_H

#include <cstdint>
#include <cstdio>

#define PV_MAGIC 517730
#define PV_FIXED_BYTES 52   // header fields before the info text
#define PV_HEADER_BYTES 56  // fixed fields and the declared 4 info bytes

#define PVFLOAT 36          // dataFormat of float data
#define PVCQPOLR 35         // frameFormat of constant-Q polar frames
#define PVLOGFREQ 2         // freqFormat written by this system

// Container error codes.
#define PVE_OK 0
#define PVE_NOPEN -1
#define PVE_NPV -2
#define PVE_MALLOC -3
#define PVE_RDERR -4
#define PVE_WRERR -5

typedef struct pvstruct {
    int32_t magic;
    int32_t headBsize;   // whole header with info; data begin here
    int32_t dataBsize;   // bytes of data, -1 when unknown
    int32_t dataFormat;
    float samplingRate;
    int32_t channels;
    int32_t frameSize;
    int32_t frameIncr;
    int32_t frameBsize;
    int32_t frameFormat;
    float minFreq;
    float maxFreq;
    int32_t freqFormat;
    char info[4];        // the info text runs on to headBsize
} PVSTRUCT;

// Program name used by PVDie (defaults to the name the process runs as).
extern const char *PVProgName;

const char *PVErrMsg(long code);
[[noreturn]] void PVDie(long code, const char *text);

// Reads the 56 fixed bytes at the start of the stream.
long PVReadHdr(FILE *file, PVSTRUCT *header);
// Opens a container and reads its whole header into a new block.
FILE *PVOpenAllocRdHdr(const char *path, PVSTRUCT **header);

// A header block with room for infoBsize bytes of info and dataBsize
// bytes of data behind it (none when dataBsize is -1 or 0), cleared.
long PVAlloc(PVSTRUCT **header, long dataBsize, long infoBsize);
void PVFree(PVSTRUCT *header);
// The data behind a block from PVAlloc or PVReadFile.
float *PVDataPtr(PVSTRUCT *header);
long PVWriteHdr(FILE *file, PVSTRUCT *header);
FILE *PVOpenWrHdr(const char *path, PVSTRUCT *header);
// Sets the data size from the position when it is 0 or -1, rewrites the
// header and closes the stream.
long PVCloseWrHdr(FILE *file, PVSTRUCT *header);
long PVWriteFile(const char *path, PVSTRUCT *header);
long PVReadFile(const char *path, PVSTRUCT **header);

#endif
