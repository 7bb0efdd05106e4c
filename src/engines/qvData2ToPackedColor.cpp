#include <engines/qvData2ToPackedColor.h>

#include <nodes/qvData2RNFloat.h>
#include <qvDebug.h>

#include <vector>

SO_ENGINE_SOURCE(qvData2ToPackedColor);

void qvData2ToPackedColor::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_ENGINE_INIT_CLASS(qvData2ToPackedColor, SoEngine, "Engine");
}

qvData2ToPackedColor::qvData2ToPackedColor()
{
    SO_ENGINE_CONSTRUCTOR(qvData2ToPackedColor);
    SO_ENGINE_ADD_INPUT(qvDataNode, (NULL));
    SO_ENGINE_ADD_INPUT(mapping, (0));
    SO_ENGINE_ADD_INPUT(minimum, (0.0f));
    SO_ENGINE_ADD_INPUT(maximum, (0.0f));
    SO_ENGINE_ADD_OUTPUT(packedColors, SoMFUInt32);
}

qvData2ToPackedColor::~qvData2ToPackedColor() {}

void qvData2ToPackedColor::inputChanged(SoField *) {}

SbColor qvData2ToPackedColor::colorMap(float x) const
{
    if (!(x <= 1.0f))
        x = x > 1.0f ? 1.0f : 0.0f; // above the range, or not a number
    if (x < 0.0f)
        x = 0.0f;
    const double hue = 0.66 - 0.66 * (double)x;
    SbColor color;
    color.setHSVValue((float)hue, 1.0f, 1.0f);
    return color;
}

void qvData2ToPackedColor::evaluate()
{
    SoNode *input = qvDataNode.getValue();
    if (input == nullptr || !input->isOfType(qvData2Base::getClassTypeId()) ||
        !input->isOfType(qvData2RNFloat::getClassTypeId())) {
        QV_WARNING("evaluate(): ERROR: field 'qvDataNode' is NOT connected to node derived from 'qvData2Base'!");
        return;
    }
    const qvData2RNFloat *node = static_cast<const qvData2RNFloat *>(input);
    const int count = node->getNumValues();
    float min, max;
    node->getValueMinMax(min, max);
    if (!minimum.isDefault())
        min = minimum.getValue();
    if (!maximum.isDefault())
        max = maximum.getValue();
    // A range of no width maps everything to the start of the ramp.
    const float width = max - min;
    const float *v = node->data.getValues(0);
    std::vector<uint32_t> colors((size_t)count);
    for (int k = 0; k < count; ++k) {
        const float x = width != 0.0f ? (v[k] - min) / width : 0.0f;
        colors[(size_t)k] = colorMap(x).getPackedValue(0.0f);
    }
    SO_ENGINE_OUTPUT(packedColors, SoMFUInt32, setNum(count));
    if (count > 0)
        SO_ENGINE_OUTPUT(packedColors, SoMFUInt32,
                         setValues(0, count, (const uint32_t *)colors.data()));
}
