// A table of sizex rows by sizey columns with a scale value per row and
// per column. Cell (ix, iy) lies at ix * sizey + iy.
//
// File layout (all big-endian): distx, disty, distz (floats), sizex,
// sizey (unsigned 32-bit), sizex floats of x scale, sizey floats of y
// scale, then the cells row after row.
#ifndef D3D_GRID_H
#define D3D_GRID_H

#include <misc/cpx.h>
#include <misc/d3d_base.h>

#include <fstream>

template <class T> class D3D_Grid : public D3D_Base {
  public:
    unsigned long sizex;
    unsigned long sizey;
    T *Data;
    float *XScale;
    float *YScale;

    D3D_Grid();
    D3D_Grid(unsigned long nx, unsigned long ny);
    ~D3D_Grid();

    // New arrays of the given sizes; contents undefined.
    void resize(unsigned long nx, unsigned long ny);

    // Outside the grid: a zero cell, or nothing stored.
    T getData(unsigned long ix, unsigned long iy) const;
    void putData(unsigned long ix, unsigned long iy, T value);

    unsigned long getSizeX() const { return sizex; }
    unsigned long getSizeY() const { return sizey; }
    float getXScale(unsigned long ix) const { return ix < sizex ? XScale[ix] : 0.0f; }
    // Out of range: message and exit status -1.
    float getYScale(unsigned long iy) const;
    void putXScale(unsigned long ix, float value);
    void putYScale(unsigned long iy, float value);

    int write(std::ofstream &out);
    // Zero sizes end the process with status 1; a file shorter than its
    // sizes announce is refused (result 0, grid unchanged).
    int read(std::ifstream &in);

    void debug();

  protected:
    // Frees the arrays; the sizes stay as they are.
    void release();

  private:
    D3D_Grid(const D3D_Grid &) = delete;
    D3D_Grid &operator=(const D3D_Grid &) = delete;
};

#endif
