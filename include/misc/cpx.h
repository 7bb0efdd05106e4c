// One complex cell of a spectrum: magnitude, then phase in radians.
#ifndef QV_CPX_H
#define QV_CPX_H

struct cpx {
    float mag;
    float pha;
};

#endif
