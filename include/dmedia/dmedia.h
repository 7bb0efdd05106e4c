// Digital-media layer: clock and last-error record shared by the
// platform layers (sound files, movies, image conversion).
#ifndef QV_DMEDIA_H
#define QV_DMEDIA_H

#include <cstdarg>

typedef long long stamp_t;

enum DMstatus { DM_SUCCESS = 0, DM_FAILURE = -1 };

#define DM_MAX_ERROR_DETAIL 256

// Nanoseconds of the unadjusted monotonic system clock.
DMstatus dmGetUST(stamp_t *ust);

// Number and text of the last error recorded in this thread; returns the
// text (also copied into detail when given).
const char *dmGetError(int *number, char detail[DM_MAX_ERROR_DETAIL]);

// Records an error for dmGetError; the layers call it when a call fails.
void dmSetError(int number, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void dmClearError();

#endif
