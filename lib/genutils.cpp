#include "genutils.h"

#include <cstdio>
#include <cstdlib>

void *Mymalloc(long count, long size, const char *tag)
{
    void *block = nullptr;
    if (count >= 0 && size >= 0)
        block = calloc(count > 0 ? (size_t)count : 1, size > 0 ? (size_t)size : 1);
    if (!block) {
        fprintf(stderr, "Mymalloc fail (from %s): wanted %ld of %ld = %ld\n", tag, count, size,
                (long)((unsigned long)count * (unsigned long)size));
        abort();
    }
    return block;
}

void Myfree(void *block) { free(block); }
