// Maps every value of a regular two-dimensional series to a packed RGBA
// colour on a blue-to-red hue ramp, in the series' value order, for a
// packed-colour node with per-vertex material binding.
#ifndef QV_DATA2_TO_PACKED_COLOR_H
#define QV_DATA2_TO_PACKED_COLOR_H

#include <Inventor/SbColor.h>
#include <Inventor/engines/SoSubEngine.h>
#include <Inventor/fields/SoMFUInt32.h>
#include <Inventor/fields/SoSFEnum.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFNode.h>

class qvData2ToPackedColor : public SoEngine {
    SO_ENGINE_HEADER(qvData2ToPackedColor);

  public:
    SoSFNode qvDataNode;
    // Kept and written; it has no effect.
    SoSFEnum mapping;
    // Values mapped to the ends of the ramp once set; until then the
    // series' own range.
    SoSFFloat minimum;
    SoSFFloat maximum;

    SoEngineOutput packedColors; // SoMFUInt32

    static void initClass();
    qvData2ToPackedColor();

    // Colour of x in [0, 1] (clamped): hue 0.66 (blue) down to 0 (red).
    SbColor colorMap(float x) const;

  protected:
    virtual ~qvData2ToPackedColor();
    virtual void evaluate();
    virtual void inputChanged(SoField *whichField);
};

#endif
