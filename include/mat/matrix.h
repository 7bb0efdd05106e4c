// Matrices as read from MAT-files: doubles in column-major order,
// element (i, j) at i + j * m.
#ifndef QV_MATRIX_H
#define QV_MATRIX_H

typedef struct matrix_tag Matrix;

const char *mxGetName(const Matrix *matrix);
int mxGetM(const Matrix *matrix);
int mxGetN(const Matrix *matrix);
// Real and imaginary parts; none when empty or real. For a sparse
// matrix they hold the non-zero values of mxGetIr / mxGetJc.
double *mxGetPr(const Matrix *matrix);
double *mxGetPi(const Matrix *matrix);
int *mxGetIr(const Matrix *matrix);
int *mxGetJc(const Matrix *matrix);
int mxGetNzmax(const Matrix *matrix);
int mxIsComplex(const Matrix *matrix);
int mxIsFull(const Matrix *matrix);
int mxIsSparse(const Matrix *matrix);
int mxIsString(const Matrix *matrix);
void mxFreeMatrix(Matrix *matrix);

#endif
