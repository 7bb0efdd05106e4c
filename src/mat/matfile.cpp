// Level 4 MAT-file reading. A matrix is a 20-byte header (type, rows,
// columns, imaginary flag, name length) in the byte order of its number
// format, the name, then the real and imaginary elements. Every size is
// checked against what the file still holds before anything is
// allocated or read.
#include <mat/mat.h>

#include "matrixPrivate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

struct MATFile_tag {
    char *fname;
    FILE *fp;
    int writing;
    int hasHeader;
    int format;             // number format of the matrix being read
    int order;
    int precision;
    int imagf;
    unsigned char ahead[20];
    int nAhead;
};

namespace {

const char *const formatNames[] = {"ieee-le", "ieee-be", "vaxd", "vaxg", "cray", "unknown"};
const int headerBytes = 24;
const long maxElements = 100000000L;  // rows times columns must stay below this plus one
const long maxSparseColumns = 16L * 1024 * 1024;

struct Header {
    int format, order, precision, type;
    long rows, cols;
    int imagf;
    char name[20];
};

bool hostIsBigEndian()
{
    const uint16_t probe = 1;
    unsigned char first;
    memcpy(&first, &probe, 1);
    return first == 0;
}

bool formatIsBigEndian(int format) { return format == 1 || format == 4; }

uint32_t swap32(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}

void reverseBytes(unsigned char *p, int n)
{
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        unsigned char t = p[i];
        p[i] = p[j];
        p[j] = t;
    }
}

int elementSize(int precision)
{
    static const int sizes[] = {8, 4, 4, 2, 2, 1};
    return sizes[precision];
}

// Bytes from the current position to the end of the file.
long remainingBytes(MATFile *mf)
{
    struct stat st;
    long here = ftell(mf->fp);
    if (here < 0 || fstat(fileno(mf->fp), &st) != 0)
        return -1;
    return (long)st.st_size - here + mf->nAhead;
}

bool readBytes(MATFile *mf, void *dest, size_t count)
{
    return fread(dest, 1, count, mf->fp) == count;
}

void checkTextHeader(MATFile *mf)
{
    mf->hasHeader = 0;
    mf->nAhead = 0;
    unsigned char start[headerBytes];
    size_t got = fread(start, 1, 14, mf->fp);
    if (got < 14 || memcmp(start, "MAT-file V02.0", 14) != 0) {
        memcpy(mf->ahead, start, got);
        mf->nAhead = (int)got;
        return;
    }
    if (fread(start + 14, 1, 10, mf->fp) == 10) {
        const char *text = (const char *)start + 14;
        const char *open = (const char *)memchr(text, '(', 10);
        const char *close = open ? (const char *)memchr(open, ')', (size_t)(text + 10 - open)) : nullptr;
        if (open && close) {
            const size_t length = (size_t)(close - open - 1);
            for (const char *name : formatNames)
                if (strlen(name) == length && memcmp(name, open + 1, length) == 0) {
                    mf->hasHeader = 1;
                    return;
                }
        }
    }
    // "MAT-file V02.0" without a known format: read as plain matrices.
    fseek(mf->fp, 0L, SEEK_SET);
}

void rewindMatrices(MATFile *mf)
{
    fseek(mf->fp, mf->hasHeader ? (long)headerBytes : 0L, SEEK_SET);
    mf->nAhead = 0;
}

bool readHeader(MATFile *mf, Header *h)
{
    unsigned char raw[20];
    const int fromAhead = mf->nAhead;
    memcpy(raw, mf->ahead, (size_t)fromAhead);
    mf->nAhead = 0;
    if (!readBytes(mf, raw + fromAhead, (size_t)(20 - fromAhead)))
        return false;
    uint32_t words[5];
    memcpy(words, raw, sizeof words);
    uint32_t type = words[0];
    if (type > 9999) {
        type = swap32(type);
        if (type > 9999)
            return false;
    }
    h->format = (int)(type / 1000);
    h->order = (int)(type / 100 % 10);
    h->precision = (int)(type / 10 % 10);
    h->type = (int)(type % 10);
    if (h->format > 4 || h->precision > 5)
        return false;
    if (formatIsBigEndian(h->format) != hostIsBigEndian())
        for (int i = 1; i < 5; ++i)
            words[i] = swap32(words[i]);
    const int32_t rows = (int32_t)words[1], cols = (int32_t)words[2];
    const int32_t imagf = (int32_t)words[3], namlen = (int32_t)words[4];
    if (rows < 0 || cols < 0 || (long)rows * (long)cols > maxElements || namlen <= 0 || namlen > 20)
        return false;
    h->rows = rows;
    h->cols = cols;
    h->imagf = imagf != 0;
    memset(h->name, 0, sizeof h->name);
    if (!readBytes(mf, h->name, (size_t)namlen))
        return false;
    h->name[19] = '\0';
    mf->format = h->format;
    mf->order = h->order;
    mf->precision = h->precision;
    mf->imagf = h->imagf;
    return true;
}

bool allBitsSet(uint64_t bits, int count) { return bits == ((uint64_t)1 << count) - 1; }

double signed_(bool negative, double value) { return negative ? -value : value; }

// VAX D and G: four 16-bit words, each little-endian, most significant
// word first.
uint64_t vaxBits(const unsigned char *b)
{
    uint64_t bits = 0;
    for (int w = 0; w < 4; ++w)
        bits = (bits << 16) | (uint64_t)(b[2 * w] | (b[2 * w + 1] << 8));
    return bits;
}

uint32_t littleWord(const unsigned char *b)
{
    return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

uint32_t bigWord(const unsigned char *b)
{
    return ((uint32_t)b[0] << 24) | ((uint32_t)b[1] << 16) | ((uint32_t)b[2] << 8) | (uint32_t)b[3];
}

double fromVaxD(const unsigned char *b)
{
    if (littleWord(b) == 0x9bd3ff5eu && littleWord(b + 4) == 0x4de97a6fu)
        return NAN;
    const uint64_t bits = vaxBits(b);
    const bool negative = bits >> 63;
    const int exponent = (int)((bits >> 55) & 0xff);
    const uint64_t fraction = bits & (((uint64_t)1 << 55) - 1);
    if (exponent == 0)
        return signed_(negative, 0.0);
    if (exponent == 255 && allBitsSet(fraction, 55))
        return signed_(negative, INFINITY);
    const uint64_t ieee = ((uint64_t)negative << 63) | ((uint64_t)(exponent + 894) << 52) | (fraction >> 3);
    double d;
    memcpy(&d, &ieee, 8);
    return d;
}

double fromVaxG(const unsigned char *b)
{
    if (littleWord(b) == 0xd37affebu && littleWord(b + 4) == 0xe9bd6f4du)
        return NAN;
    const uint64_t bits = vaxBits(b);
    const bool negative = bits >> 63;
    const int exponent = (int)((bits >> 52) & 0x7ff);
    const uint64_t fraction = bits & (((uint64_t)1 << 52) - 1);
    if (exponent == 0)
        return signed_(negative, 0.0);
    if (exponent == 2047 && allBitsSet(fraction, 52))
        return signed_(negative, INFINITY);
    // 0.1f times 2^(e - 1024), that is 1.f times 2^(e - 1025).
    return signed_(negative, ldexp(1.0 + (double)fraction / 4503599627370496.0, exponent - 1025));
}

double fromCray(const unsigned char *b)
{
    if (bigWord(b) == 0xdffdde9bu && bigWord(b + 4) == 0xd37a6f50u)
        return NAN;
    const uint64_t bits = ((uint64_t)bigWord(b) << 32) | bigWord(b + 4);
    if (bits == 0)
        return 0.0;
    const bool negative = bits >> 63;
    const int exponent = (int)((bits >> 48) & 0x7fff);
    const uint64_t fraction = bits & (((uint64_t)1 << 48) - 1);
    if (exponent >= 17409)
        return signed_(negative, INFINITY);
    if (exponent <= 15362)
        return signed_(negative, 0.0);
    // 0.f with the leading bit explicit, times 2^(e - 16384).
    return signed_(negative, ldexp((double)fraction, exponent - 16384 - 48));
}

// Turns e raw elements, lying at the end of the e doubles of dest, into
// doubles from the start of dest (each element is taken before any
// double can overwrite it).
void widen(double *dest, long e, int format, int precision)
{
    const int size = elementSize(precision);
    const bool swap = formatIsBigEndian(format) != hostIsBigEndian();
    if (precision == 0 && format <= 1) {
        // IEEE doubles are already in place; at most their bytes turn.
        if (swap)
            for (long i = 0; i < e; ++i) {
                uint64_t v;
                memcpy(&v, dest + i, 8);
                v = __builtin_bswap64(v);
                memcpy(dest + i, &v, 8);
            }
        return;
    }
    unsigned char *raw = (unsigned char *)dest + (8 - size) * e;
    for (long i = 0; i < e; ++i) {
        unsigned char b[8];
        memcpy(b, raw + i * size, (size_t)size);
        double value;
        if (precision == 0) {
            if (format == 2)
                value = fromVaxD(b);
            else if (format == 3)
                value = fromVaxG(b);
            else if (format == 4)
                value = fromCray(b);
            else {
                if (swap)
                    reverseBytes(b, 8);
                memcpy(&value, b, 8);
            }
        } else if (precision == 1) {
            if (swap && format <= 1)
                reverseBytes(b, 4);
            float f;
            memcpy(&f, b, 4);
            value = f;
        } else {
            if (swap)
                reverseBytes(b, size);
            if (precision == 2) {
                int32_t v;
                memcpy(&v, b, 4);
                value = v;
            } else if (precision == 3) {
                int16_t v;
                memcpy(&v, b, 2);
                value = v;
            } else if (precision == 4) {
                uint16_t v;
                memcpy(&v, b, 2);
                value = v;
            } else {
                value = b[0];
            }
        }
        dest[i] = value;
    }
}

// Reads one part of e elements into a new array of doubles.
double *readPart(MATFile *mf, long e, const Header &h)
{
    double *part = (double *)malloc((size_t)e * sizeof(double));
    if (!part)
        return nullptr;
    const int size = elementSize(h.precision);
    if (!readBytes(mf, (unsigned char *)part + (8 - size) * e, (size_t)(size * e))) {
        free(part);
        return nullptr;
    }
    widen(part, e, h.format, h.precision);
    return part;
}

// Stored row after row: element (i, j) at i * n + j, into column order.
bool transpose(double *part, long m, long n)
{
    double *copy = (double *)malloc((size_t)(m * n) * sizeof(double));
    if (!copy)
        return false;
    for (long i = 0; i < m; ++i)
        for (long j = 0; j < n; ++j)
            copy[i + j * m] = part[i * n + j];
    memcpy(part, copy, (size_t)(m * n) * sizeof(double));
    free(copy);
    return true;
}

bool wholeIndex(double x, long limit, long *out)
{
    if (!(x >= 1.0 && x <= (double)limit) || x != floor(x))
        return false;
    *out = (long)x;
    return true;
}

// Rows of (row, column, real[, imaginary]) with 1-based indices into
// compressed columns; entries that are zero are left out, repeated
// positions are added up.
bool tripletsToSparse(Matrix *mx)
{
    const long rows = mx->m;
    if (mx->n < 3)
        return false;
    const double *t = mx->pr;
    const bool complexValues = mx->n >= 4 || mx->pi;
    auto imagOf = [&](long k) {
        if (mx->n >= 4)
            return t[k + 3 * rows];
        return mx->pi ? mx->pi[k + 2 * rows] : 0.0;
    };
    std::vector<std::pair<std::pair<long, long>, long>> entries;
    long m = 0, n = 0;
    for (long k = 0; k < rows; ++k) {
        long i, j;
        if (!wholeIndex(t[k], maxElements, &i) || !wholeIndex(t[k + rows], maxSparseColumns, &j))
            return false;
        m = std::max(m, i);
        n = std::max(n, j);
        if (t[k + 2 * rows] != 0.0 || imagOf(k) != 0.0)
            entries.push_back({{j, i}, k});
    }
    std::sort(entries.begin(), entries.end());
    const size_t cells = entries.empty() ? 1 : entries.size();
    int *jc = (int *)calloc((size_t)n + 1, sizeof(int));
    int *ir = (int *)calloc(cells, sizeof(int));
    double *pr = (double *)calloc(cells, sizeof(double));
    double *pi = complexValues ? (double *)calloc(cells, sizeof(double)) : nullptr;
    if (!jc || !ir || !pr || (complexValues && !pi)) {
        free(jc);
        free(ir);
        free(pr);
        free(pi);
        return false;
    }
    int nz = 0;
    long column = 1;
    for (size_t e = 0; e < entries.size(); ++e) {
        const long j = entries[e].first.first, i = entries[e].first.second, k = entries[e].second;
        while (column <= j)
            jc[column++ - 1] = nz;
        if (nz > jc[j - 1] && ir[nz - 1] == i - 1) {
            pr[nz - 1] += t[k + 2 * rows];
            if (pi)
                pi[nz - 1] += imagOf(k);
            continue;
        }
        ir[nz] = (int)(i - 1);
        pr[nz] = t[k + 2 * rows];
        if (pi)
            pi[nz] = imagOf(k);
        ++nz;
    }
    while (column <= n + 1)
        jc[column++ - 1] = nz;
    free(mx->pr);
    free(mx->pi);
    mx->pr = pr;
    mx->pi = pi;
    mx->ir = ir;
    mx->jc = jc;
    mx->nzmax = (int)cells;
    mx->m = (int)m;
    mx->n = (int)n;
    mx->storage = mxSPARSE;
    return true;
}

Matrix *readMatrix(MATFile *mf)
{
    Header h;
    if (!readHeader(mf, &h))
        return nullptr;
    const long e = h.rows * h.cols;
    const long partBytes = e * elementSize(h.precision);
    const long remaining = remainingBytes(mf);
    if (remaining < 0 || partBytes * (h.imagf ? 2 : 1) > remaining)
        return nullptr;

    Matrix *mx = (Matrix *)calloc(1, sizeof(Matrix));
    if (!mx)
        return nullptr;
    memcpy(mx->name, h.name, sizeof mx->name);
    mx->m = (int)h.rows;
    mx->n = (int)h.cols;
    mx->storage = h.type == 2 ? mxSPARSE_TRIPLETS : mxFULL;
    mx->isText = h.type == 1;
    if (e > 0) {
        mx->pr = readPart(mf, e, h);
        bool ok = mx->pr != nullptr;
        if (ok && h.imagf) {
            mx->pi = readPart(mf, e, h);
            ok = mx->pi != nullptr;
        }
        if (ok && h.order != 0) {
            ok = transpose(mx->pr, h.rows, h.cols);
            if (ok && mx->pi)
                ok = transpose(mx->pi, h.rows, h.cols);
        }
        if (!ok) {
            mxFreeMatrix(mx);
            return nullptr;
        }
    }
    if (mx->storage == mxSPARSE_TRIPLETS && !tripletsToSparse(mx)) {
        mxFreeMatrix(mx);
        return nullptr;
    }
    return mx;
}

} // namespace

MATFile *matOpen(const char *filename, const char *mode)
{
    if (!filename || !mode || !*mode)
        return nullptr;
    const char *how = "a+b";
    if (mode[0] == 'r')
        how = "rb";
    else if (mode[0] == 'w')
        unlink(filename);
    FILE *fp = fopen(filename, how);
    if (!fp)
        return nullptr;
    MATFile *mf = (MATFile *)calloc(1, sizeof(MATFile));
    char *name = strdup(filename);
    if (!mf || !name) {
        free(mf);
        free(name);
        fclose(fp);
        return nullptr;
    }
    mf->fname = name;
    mf->fp = fp;
    mf->writing = mode[0] != 'r';
    // An empty file opened for writing or update would get a text header
    // only with a non-zero write version, which is zero.
    if (mode[0] != 'w') {
        fseek(fp, 0L, SEEK_SET);
        checkTextHeader(mf);
    }
    return mf;
}

int matClose(MATFile *mf)
{
    if (!mf)
        return EOF;
    int result = 0;
    if (mf->fp && mf->fp != stdin && mf->fp != stdout)
        result = fclose(mf->fp);
    free(mf->fname);
    free(mf);
    return result;
}

Matrix *matGetNextMatrix(MATFile *mf)
{
    if (!mf || !mf->fp)
        return nullptr;
    return readMatrix(mf);
}

Matrix *matGetMatrix(MATFile *mf, const char *name)
{
    if (!mf || !mf->fp || !name)
        return nullptr;
    rewindMatrices(mf);
    for (;;) {
        const long start = ftell(mf->fp);
        Header h;
        if (!readHeader(mf, &h))
            return nullptr;
        if (strcmp(h.name, name) == 0) {
            fseek(mf->fp, start, SEEK_SET);
            return readMatrix(mf);
        }
        const long skip = h.rows * h.cols * elementSize(h.precision) * (h.imagf ? 2 : 1);
        const long remaining = remainingBytes(mf);
        if (remaining < 0 || skip > remaining || fseek(mf->fp, skip, SEEK_CUR) != 0) {
            fseek(mf->fp, 0L, SEEK_END);
            return nullptr;
        }
    }
}
