// Display spacings and axis labels of a grid; the three spacings start
// every grid file.
#ifndef D3D_BASE_H
#define D3D_BASE_H

#include <fstream>

class D3D_Base {
  public:
    float distx;
    float disty;
    float distz;
    char dimx_name[80];
    char dimy_name[20];
    unsigned long aktx;
    unsigned long akty;

    D3D_Base();

    // Spacings, 4 big-endian bytes each, with a trace on the error stream.
    int write(std::ofstream &out);
    int read(std::ifstream &in);

    void setDistanceX(float d) { distx = d; }
    void setDistanceY(float d) { disty = d; }
    void setDistanceZ(float d) { distz = d; }
    float getDistanceX() const { return distx; }
    float getDistanceY() const { return disty; }
    float getDistanceZ() const { return distz; }

    void debug();
};

#endif
