// Checked, zero-filled allocation of the analysis routines.
#ifndef QV_GENUTILS_H
#define QV_GENUTILS_H

// count * size bytes, cleared; on failure a message naming tag and abort.
void *Mymalloc(long count, long size, const char *tag);
void Myfree(void *block);

#endif
