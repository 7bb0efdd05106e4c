// Buffer pools of the digital-media layer: a pool holds a fixed number of
// buffers of one size; a buffer is taken from its pool, filled or read,
// and given back.
#ifndef QV_DM_BUFFER_H
#define QV_DM_BUFFER_H

#include <dmedia/dm_params.h>

#include <cstddef>

typedef struct _DMbufferpool *DMbufferpool;
typedef struct _DMbuffer *DMbuffer;

#define DM_BUFFER_COUNT "DM_BUFFER_COUNT"         // int
#define DM_BUFFER_SIZE "DM_BUFFER_SIZE"           // int, bytes
#define DM_BUFFER_CACHEABLE "DM_BUFFER_CACHEABLE" // enum, true/false
#define DM_BUFFER_MAPPED "DM_BUFFER_MAPPED"       // enum, true/false

DMstatus dmBufferSetPoolDefaults(DMparams *params, int count, int size,
                                 DMboolean cacheable, DMboolean mapped);
// A pool as described; fails for a count or size below 1.
DMstatus dmBufferCreatePool(const DMparams *params, DMbufferpool *pool);
// Fails while any of its buffers is still taken.
DMstatus dmBufferDestroyPool(DMbufferpool pool);
// Free buffers of a pool.
int dmBufferGetPoolFree(DMbufferpool pool);

// Takes a free buffer (valid size 0); fails when none is free.
DMstatus dmBufferAllocate(DMbufferpool pool, DMbuffer *buffer);
// One more holder of the buffer.
DMstatus dmBufferAttach(DMbuffer buffer);
// One holder less; the last one gives the buffer back to its pool.
DMstatus dmBufferFree(DMbuffer buffer);

void *dmBufferMapData(DMbuffer buffer);
// Valid bytes in the buffer, and its capacity.
size_t dmBufferGetSize(DMbuffer buffer);
size_t dmBufferGetAllocSize(DMbuffer buffer);
DMstatus dmBufferSetSize(DMbuffer buffer, size_t size);

#endif
