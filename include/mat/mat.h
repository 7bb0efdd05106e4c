// Reading matrices from Level 4 MAT-files. Every failure gives a none
// result; nothing is printed.
#ifndef QV_MAT_H
#define QV_MAT_H

#include <mat/matrix.h>

typedef struct MATFile_tag MATFile;

// mode "r" reads; "w" replaces the file; anything else updates it.
MATFile *matOpen(const char *filename, const char *mode);
int matClose(MATFile *file);
// The matrix at the current position, with its data.
Matrix *matGetNextMatrix(MATFile *file);
// The first matrix of the file named name; reading goes on behind it.
Matrix *matGetMatrix(MATFile *file, const char *name);

#endif
