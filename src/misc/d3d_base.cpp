#include <misc/d3d_base.h>

#include <misc/byteorder.h>

#include <cstdio>
#include <iostream>

D3D_Base::D3D_Base() : distx(2.0f), disty(0.1f), distz(0.0f), aktx(0), akty(0)
{
    dimx_name[0] = '\0';
    dimy_name[0] = '\0';
}

int D3D_Base::write(std::ofstream &out)
{
    unsigned char bytes[12];
    qvByteOrder::floatToBigEndian(distx, bytes);
    qvByteOrder::floatToBigEndian(disty, bytes + 4);
    qvByteOrder::floatToBigEndian(distz, bytes + 8);
    out.write((const char *)bytes, sizeof bytes);
    std::cerr << "write to file:" << std::endl
              << " distx " << distx << "/" << sizeof(float) << std::endl
              << " disty " << disty << std::endl
              << " distz " << distz << std::endl;
    return 1;
}

int D3D_Base::read(std::ifstream &in)
{
    unsigned char bytes[12] = {0};
    in.read((char *)bytes, sizeof bytes);
    distx = qvByteOrder::floatFromBigEndian(bytes);
    disty = qvByteOrder::floatFromBigEndian(bytes + 4);
    distz = qvByteOrder::floatFromBigEndian(bytes + 8);
    std::cerr << "read from file:" << std::endl
              << " distx " << distx << std::endl
              << " disty " << disty << std::endl
              << " distz " << distz << std::endl;
    return 1;
}

void D3D_Base::debug()
{
    printf("Distance:  \t%f, %f\n", distx, disty);
    printf("Dimension: \t%s, %s\n", dimx_name, dimy_name);
    printf("akt. Index:\t%d, %d\n", (int)aktx, (int)akty);
}
