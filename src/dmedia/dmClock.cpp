#include <dmedia/dmedia.h>

#include <time.h>

DMstatus dmGetUST(stamp_t *ust)
{
    if (ust == nullptr)
        return DM_FAILURE;
    struct timespec ts;
#ifdef CLOCK_MONOTONIC_RAW
    if (clock_gettime(CLOCK_MONOTONIC_RAW, &ts) != 0)
#endif
        if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0)
            return DM_FAILURE;
    *ust = (stamp_t)ts.tv_sec * 1000000000LL + ts.tv_nsec;
    return DM_SUCCESS;
}
