#include <misc/d3d_grid.h>

#include <misc/byteorder.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

namespace {

const char *const gridTag = "d3d_grid";
const size_t chunkWords = 16384;

// Writes count 32-bit words in big-endian order, a chunk at a time.
void writeWords(std::ofstream &out, const void *words, size_t count)
{
    if (qvByteOrder::hostIsBigEndian()) {
        out.write((const char *)words, (std::streamsize)(count * 4));
        return;
    }
    static uint32_t chunk[chunkWords];
    const unsigned char *p = (const unsigned char *)words;
    while (count > 0) {
        size_t n = count < chunkWords ? count : chunkWords;
        std::memcpy(chunk, p, n * 4);
        qvByteOrder::bigEndianWords(chunk, n);
        out.write((const char *)chunk, (std::streamsize)(n * 4));
        p += n * 4;
        count -= n;
    }
}

// Reads count big-endian words; words the stream does not hold are 0.
void readWords(std::ifstream &in, void *words, size_t count)
{
    in.read((char *)words, (std::streamsize)(count * 4));
    size_t got = (size_t)in.gcount();
    if (got < count * 4)
        std::memset((char *)words + got, 0, count * 4 - got);
    qvByteOrder::bigEndianWords(words, count);
}

} // namespace

template <class T> D3D_Grid<T>::D3D_Grid() : sizex(0), sizey(0), Data(nullptr), XScale(nullptr), YScale(nullptr) {}

template <class T>
D3D_Grid<T>::D3D_Grid(unsigned long nx, unsigned long ny)
    : sizex(0), sizey(0), Data(nullptr), XScale(nullptr), YScale(nullptr)
{
    resize(nx, ny);
}

template <class T> D3D_Grid<T>::~D3D_Grid() { release(); }

template <class T> void D3D_Grid<T>::release()
{
    delete[] Data;
    delete[] XScale;
    delete[] YScale;
    Data = nullptr;
    XScale = nullptr;
    YScale = nullptr;
}

template <class T> void D3D_Grid<T>::resize(unsigned long nx, unsigned long ny)
{
    if (sizex != 0 || sizey != 0 || Data || XScale || YScale)
        release();
    sizex = nx;
    sizey = ny;
    // The file keeps sizes in 32 bits; larger grids cannot be stored.
    const bool fits = nx <= 0xffffffffUL && ny <= 0xffffffffUL &&
                      (ny == 0 || nx <= SIZE_MAX / sizeof(T) / ny);
    if (fits) {
        Data = new (std::nothrow) T[nx * ny];
        XScale = new (std::nothrow) float[nx];
        YScale = new (std::nothrow) float[ny];
    }
    if (!fits || !Data || !XScale || !YScale) {
        fprintf(stderr, "%s: got NULL pointer after allocating memory !\n", gridTag);
        release();
        sizex = 0;
        sizey = 0;
        exit(1);
    }
}

template <class T> T D3D_Grid<T>::getData(unsigned long ix, unsigned long iy) const
{
    if (ix >= sizex || iy >= sizey)
        return T();
    return Data[ix * sizey + iy];
}

template <class T> void D3D_Grid<T>::putData(unsigned long ix, unsigned long iy, T value)
{
    if (ix >= sizex || iy >= sizey)
        return;
    Data[ix * sizey + iy] = value;
}

template <class T> float D3D_Grid<T>::getYScale(unsigned long iy) const
{
    if (iy >= sizey) {
        fprintf(stderr, "%s: index of geYScale out of range (%d, %d)\n", gridTag, (int)iy, (int)sizey);
        exit(-1);
    }
    return YScale[iy];
}

template <class T> void D3D_Grid<T>::putXScale(unsigned long ix, float value)
{
    if (ix >= sizex) {
        fprintf(stderr, "%s: index of puXScale out of range (%d, %d)\n", gridTag, (int)ix, (int)sizex);
        exit(-1);
    }
    XScale[ix] = value;
}

template <class T> void D3D_Grid<T>::putYScale(unsigned long iy, float value)
{
    if (iy >= sizey) {
        fprintf(stderr, "%s: index of puYScale out of range (%d, %d)\n", gridTag, (int)iy, (int)sizey);
        exit(-1);
    }
    YScale[iy] = value;
}

template <class T> int D3D_Grid<T>::write(std::ofstream &out)
{
    D3D_Base::write(out);
    unsigned char sizes[8];
    qvByteOrder::toBigEndian((uint32_t)sizex, sizes);
    qvByteOrder::toBigEndian((uint32_t)sizey, sizes + 4);
    out.write((const char *)sizes, sizeof sizes);
    std::cerr << std::endl
              << "size X Y (#, #):" << sizex << " " << sizey << "(" << 4 << " " << 4 << std::endl;
    writeWords(out, XScale, sizex);
    std::cerr << "# Xscale: " << sizex * sizeof(float) << std::endl;
    writeWords(out, YScale, sizey);
    std::cerr << "# Yscale: " << sizey * sizeof(float) << std::endl;
    writeWords(out, Data, sizex * sizey * (sizeof(T) / 4));
    std::cerr << "wrote sizex * sizey * sizeof(DataTyp) =" << sizex << " " << sizey << " "
              << sizeof(T) << std::endl
              << "=" << sizex * sizey * sizeof(T) << std::endl;
    return 1;
}

template <class T> int D3D_Grid<T>::read(std::ifstream &in)
{
    D3D_Base::read(in);
    unsigned char sizes[8] = {0};
    in.read((char *)sizes, sizeof sizes);
    const unsigned long nx = qvByteOrder::fromBigEndian(sizes);
    const unsigned long ny = qvByteOrder::fromBigEndian(sizes + 4);
    std::cerr << "read Sizex:" << nx << "\n"
              << "read Sizey:" << ny << "\n";
    if (nx == 0 || ny == 0) {
        std::cerr << "Error in ::read: sizex || sizey == 0!\n";
        exit(1);
    }
    // Never allocate more than the file can fill.
    const std::streampos here = in.tellg();
    in.seekg(0, std::ios::end);
    const std::streampos end = in.tellg();
    in.seekg(here);
    const unsigned long long need =
        4ULL * (nx + ny) + (unsigned long long)sizeof(T) * nx * ny;
    if (here < 0 || end < here || (unsigned long long)(end - here) < need) {
        std::cerr << "Error in ::read: file is shorter than sizex, sizey announce!\n";
        return 0;
    }
    resize(nx, ny);
    readWords(in, XScale, nx);
    readWords(in, YScale, ny);
    readWords(in, Data, nx * ny * (sizeof(T) / 4));
    return 1;
}

template <class T> void D3D_Grid<T>::debug()
{
    D3D_Base::debug();
    printf("Size:   %d,  %d\n", (int)sizex, (int)sizey);
    printf("Data_ptr:%p\n", (void *)Data);
    fflush(stdout);
    fprintf(stderr, "ScaleY: \n");
    for (unsigned long iy = 0; iy < sizey; ++iy)
        fprintf(stderr, "[%d]%f\t", (int)iy, YScale[iy]);
    printf("\n");
}

template class D3D_Grid<cpx>;
