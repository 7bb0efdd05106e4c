#include "matrixPrivate.h"

#include <cstdlib>

const char *mxGetName(const Matrix *matrix) { return matrix->name; }
int mxGetM(const Matrix *matrix) { return matrix->m; }
int mxGetN(const Matrix *matrix) { return matrix->n; }
double *mxGetPr(const Matrix *matrix) { return matrix->pr; }
double *mxGetPi(const Matrix *matrix) { return matrix->pi; }
int *mxGetIr(const Matrix *matrix) { return matrix->ir; }
int *mxGetJc(const Matrix *matrix) { return matrix->jc; }
int mxGetNzmax(const Matrix *matrix) { return matrix->nzmax; }
int mxIsComplex(const Matrix *matrix) { return matrix->pi != nullptr; }
int mxIsFull(const Matrix *matrix) { return matrix->storage == mxFULL; }
int mxIsSparse(const Matrix *matrix) { return matrix->storage != mxFULL; }
int mxIsString(const Matrix *matrix) { return matrix->isText; }

void mxFreeMatrix(Matrix *matrix)
{
    if (!matrix)
        return;
    free(matrix->pr);
    free(matrix->pi);
    free(matrix->ir);
    free(matrix->jc);
    free(matrix);
}
