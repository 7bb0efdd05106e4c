// The record behind a matrix handle, shared by the MAT-file reader and
// the accessors.
#ifndef QV_MATRIX_PRIVATE_H
#define QV_MATRIX_PRIVATE_H

#include <mat/matrix.h>

enum mxStorage { mxFULL = 0, mxSPARSE = 1, mxSPARSE_TRIPLETS = 2 };

struct matrix_tag {
    char name[20];
    int m;
    int n;
    double *pr;
    double *pi;
    int storage;
    int isText;
    int numberClass;  // 0: double, the only class read
    int *ir;          // sparse: row of each non-zero
    int *jc;          // sparse: n + 1 column starts
    int nzmax;
};

#endif
