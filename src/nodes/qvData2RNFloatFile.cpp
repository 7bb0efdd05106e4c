#include <nodes/qvData2RNFloatFile.h>

#include <elements/qvData2Element.h>
#include <mat/mat.h>
#include <qvDebug.h>

#include <Inventor/SoInput.h>
#include <Inventor/actions/SoAction.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

SO_NODE_SOURCE(qvData2RNFloatFile);

void qvData2RNFloatFile::initClass()
{
    if (!getClassTypeId().isBad())
        return;
    SO_NODE_INIT_CLASS(qvData2RNFloatFile, qvData2RNFloat, "qvData2RNFloat");
}

qvData2RNFloatFile::qvData2RNFloatFile() : fileRead(FALSE)
{
    SO_NODE_CONSTRUCTOR(qvData2RNFloatFile);
    SO_NODE_ADD_FIELD(filename, (""));
    SO_NODE_ADD_FIELD(dataScaling, (NO_SCALING));
    SO_NODE_ADD_FIELD(dim2Scaling, (NO_SCALING));
    SO_NODE_DEFINE_ENUM_VALUE(Scaling, UNKNOWN);
    SO_NODE_DEFINE_ENUM_VALUE(Scaling, NO_SCALING);
    SO_NODE_DEFINE_ENUM_VALUE(Scaling, LOG);
    SO_NODE_DEFINE_ENUM_VALUE(Scaling, DB);
    SO_NODE_DEFINE_ENUM_VALUE(Scaling, PITCH);
    SO_NODE_DEFINE_ENUM_VALUE(Scaling, BARK);
    SO_NODE_DEFINE_ENUM_VALUE(Scaling, ERB);
    // The library's enum-type macro passes a literal as char *; the same
    // two calls by hand.
    static char typeName[] = "Scaling";
    int num = 0;
    int *values = nullptr;
    SbName *names = nullptr;
    fieldData->getEnumData(typeName, num, values, names);
    dataScaling.setEnums(num, values, names);
    dim2Scaling.setEnums(num, values, names);
}

qvData2RNFloatFile::~qvData2RNFloatFile() {}

SoType qvData2RNFloatFile::getRealClassTypeId() const
{
    return qvData2RNFloat::getClassTypeId();
}

void qvData2RNFloatFile::doAction(SoAction *action)
{
    if (isIgnoredAny())
        return;
    qvData2Element::set(action->getState(), this, qvData2RNFloatFile::getClassTypeId());
    // Values given in the scene win over the file.
    if (!data.isDefault() || filename.isIgnored())
        return;
    if (filename.getValue().getLength() == 0 || fileRead)
        return;
    if (readFile(filename.getValue()))
        fileRead = TRUE;
    else
        QV_WARNING("doAction() error file read,  filename: " << filename.getValue().getString());
}

void qvData2RNFloatFile::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }
void qvData2RNFloatFile::getBoundingBox(SoGetBoundingBoxAction *action) { doAction((SoAction *)action); }
void qvData2RNFloatFile::callback(SoCallbackAction *action) { doAction((SoAction *)action); }
void qvData2RNFloatFile::pick(SoPickAction *action) { doAction((SoAction *)action); }

void qvData2RNFloatFile::resetValues()
{
    data.setValue(0.0f);
    data.setDefault(TRUE);
    dim2.setValue(0.0f);
    dim2.setDefault(TRUE);
}

SbBool qvData2RNFloatFile::readFile(const SbString name)
{
    SoField *const quiet[] = {&node, &startTime, &interval, &data, &dim2};
    SbBool notifying[5];
    for (int i = 0; i < 5; ++i)
        notifying[i] = quiet[i]->enableNotify(FALSE);

    SbBool ok = FALSE;
    SbString path;
    SoInput in;
    if (!in.openFile(name.getString())) {
        QV_WARNING("readFile() ERROR: cannot open file" << name.getString());
    } else {
        const char *found = in.getCurFileName();
        if (found != nullptr)
            path = found;
        in.closeFile();
    }
    if (path.getLength() == 0)
        QV_WARNING("readFile() ERROR: cannot find file" << name.getString());

    struct stat st;
    if (path.getLength() == 0 || stat(path.getString(), &st) != 0) {
        QV_WARNING("readFile(): Cant't stat file:" << name.getString());
    } else if (_readFileMatlab(path)) {
        ok = TRUE;
        // Loaded values are not written back with the scene.
        data.setDefault(TRUE);
        dim2.setDefault(TRUE);
    } else if (_readFileGrid(path)) {
        ok = TRUE;
    } else {
        QV_WARNING("readFile() ERROR: no fileformat fits file: " << path.getString());
        // Nothing half-read stays behind: the node remains file-backed.
        resetValues();
    }

    for (int i = 0; i < 5; ++i)
        quiet[i]->enableNotify(notifying[i]);
    node.touch();
    return ok;
}

float qvData2RNFloatFile::__dB__(float x)
{
    const float square = x * x;
    const float level = log10f((float)((double)square / 1.801));
    return (float)(10.0 * (double)level);
}

float qvData2RNFloatFile::__frequency_log__(float f)
{
    if (f < 0.0f)
        return -1.0f;
    return 20.0f * log10f(f * f);
}

namespace {

uint32_t bigEndianWord(const unsigned char *p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}

float bigEndianFloat(const unsigned char *p)
{
    const uint32_t v = bigEndianWord(p);
    float f;
    memcpy(&f, &v, 4);
    return f;
}

} // namespace

SbBool qvData2RNFloatFile::_readFileGrid(const SbString path)
{
    FILE *file = fopen(path.getString(), "rb");
    if (!file)
        return FALSE;
    struct stat st;
    unsigned char head[20];
    if (fstat(fileno(file), &st) != 0 || fread(head, 1, sizeof head, file) != sizeof head) {
        QV_WARNING("_readFileGrid() file too short for a grid: " << path.getString());
        fclose(file);
        return FALSE;
    }
    const unsigned long numSpecs = bigEndianWord(head + 12);
    const unsigned long numPerSpec = bigEndianWord(head + 16);
    if (numSpecs == 0 || numPerSpec == 0) {
        QV_WARNING("_readFileGrid() numSpecs: " << numSpecs << " numPerSpec" << numPerSpec);
        fclose(file);
        return FALSE;
    }
    // Every byte the sizes announce must be in the file, and the interval
    // needs two spectra.
    const unsigned long long need =
        20ULL + 4ULL * (numSpecs + numPerSpec) + 8ULL * numSpecs * numPerSpec;
    if (need > (unsigned long long)st.st_size || numSpecs * numPerSpec > 0x7fffffffULL) {
        QV_WARNING("_readFileGrid() file holds " << (long long)st.st_size << " bytes, numSpecs: "
                   << numSpecs << " numPerSpec: " << numPerSpec << " need " << need);
        fclose(file);
        return FALSE;
    }
    if (numSpecs < 2) {
        QV_WARNING("_readFileGrid() numSpecs: " << numSpecs
                   << " gives no interval, at least 2 spectra are needed");
        fclose(file);
        return FALSE;
    }

    const int X = (int)numSpecs, Y = (int)numPerSpec;
    std::vector<unsigned char> buffer(8 * (size_t)Y > 4 * (size_t)X ? 8 * (size_t)Y : 4 * (size_t)X);
    bool ok = fread(buffer.data(), 4, (size_t)X, file) == (size_t)X;
    if (ok)
        interval.setValue(bigEndianFloat(&buffer[4]) - bigEndianFloat(&buffer[0]));

    ok = ok && fread(buffer.data(), 4, (size_t)Y, file) == (size_t)Y;
    if (ok) {
        dim2.setNum(Y);
        float *positions = dim2.startEditing();
        for (int j = 0; j < Y; ++j)
            positions[j] = __frequency_log__(bigEndianFloat(&buffer[4 * (size_t)j]));
        dim2.finishEditing();
    }

    if (ok) {
        data.setNum(X * Y);
        float *values = data.startEditing();
        for (int i = 0; ok && i < X; ++i) {
            ok = fread(buffer.data(), 8, (size_t)Y, file) == (size_t)Y;
            for (int j = 0; ok && j < Y; ++j) {
                float v = __dB__(bigEndianFloat(&buffer[8 * (size_t)j]));
                if (v < -1000000.0f)
                    v = -10.0f;
                if (v > 1000.0f)
                    v = 1000.0f;
                values[(size_t)i * Y + j] = v;
            }
        }
        data.finishEditing();
    }
    fclose(file);
    if (!ok)
        QV_WARNING("_readFileGrid() read error in " << path.getString());
    return ok ? TRUE : FALSE;
}

namespace {

bool isRealScalar(const Matrix *mx)
{
    return mxGetM(mx) == 1 && mxGetN(mx) == 1 && !mxIsComplex(mx) && mxIsFull(mx) && mxGetPr(mx) != nullptr;
}

} // namespace

SbBool qvData2RNFloatFile::_readFileMatlab(const SbString path)
{
    SbBool result = FALSE;
    MATFile *mf = matOpen(path.getString(), "r");
    if (!mf) {
        QV_WARNING("_readFileMatlab: Can't open file " << path.getString() << "as a matlab file!");
        return FALSE;
    }
    Matrix *values = matGetNextMatrix(mf);
    if (!values) {
        QV_WARNING("_readFileMatlab: No matMatrixData found in file!");
        matClose(mf);
        return FALSE;
    }
    QV_WARNING("_readFileMatlab: readmatMatrixData");
    std::cerr << "Name: " << mxGetName(values) << std::endl
              << "N: " << mxGetN(values) << std::endl
              << "M: " << mxGetM(values) << std::endl;
    if (mxIsComplex(values))
        std::cerr << " is Complex !! " << std::endl;
    if (mxIsFull(values))
        std::cerr << " is Full !! " << std::endl;

    // Sparse matrices hold fewer values than rows times columns.
    const int M = mxGetM(values), N = mxIsFull(values) ? mxGetN(values) : 0;
    const long count = (long)M * N;
    const double *real = mxGetPr(values);
    data.setNum((int)count);
    if (count > 0) {
        float *out = data.startEditing();
        const int scaling = dataScaling.getValue();
        for (long k = 0; k < count; ++k) {
            float x = (float)real[k];
            if (x < -1000000.0f)
                x = -20.0f;
            switch (scaling) {
            case UNKNOWN:
            case NO_SCALING:
                break;
            case LOG:
            case DB:
                x = log10f(x * x);
                break;
            default:
                QV_WARNING("_readFileMatlab: Unknown enumeration value of field 'dataScaling'");
                break;
            }
            out[k] = x;
        }
        data.finishEditing();
    }

    Matrix *step = matGetMatrix(mf, "Interval");
    if (step && interval.isDefault()) {
        QV_WARNING("_readFileMatlab: read matMatrixInterval");
        if (!isRealScalar(step)) {
            QV_WARNING("_readFileMatlab: Variable 'Interval' is not of size 1x1 !");
        } else {
            interval.setValue((float)mxGetPr(step)[0]);
            std::cerr << "Interval Value: " << interval.getValue() << std::endl;
            result = TRUE;
        }
    } else {
        QV_WARNING("_readFileMatlab: No matMatrixInterval found in file  or not used!");
    }

    double rate = 44100.0;
    Matrix *freq = matGetMatrix(mf, "SampleFreq");
    if (freq) {
        QV_WARNING("_readFileMatlab: read matrix!");
        if (!isRealScalar(freq)) {
            QV_WARNING("_readFileMatlab: Variable 'SampleFreq' is not of size 1x1 !");
        } else {
            rate = mxGetPr(freq)[0];
            result = TRUE;
        }
    } else {
        QV_WARNING("_readFileMatlab: No matMatrixSampleFreq found in file,  take default!");
    }
    std::cerr << "SampleFreq Value: " << rate << std::endl;

    dim2.setNum(M);
    if (M > 0) {
        float *positions = dim2.startEditing();
        const double spacing = rate / M / 2.0;
        const int scaling = dim2Scaling.getValue();
        for (int i = 0; i < M; ++i) {
            float f = (float)(i * spacing);
            switch (scaling) {
            case UNKNOWN:
            case NO_SCALING:
                break;
            case LOG:
            case PITCH:
                if (f != 0.0f)
                    f = log10f((float)((double)f / 127.09)) / log10f(2.0f);
                break;
            case BARK:
                if (f != 0.0f)
                    f = (float)(26.81 / (double)(1.0f + (float)(1960.0 / f)) - 0.53);
                break;
            case ERB:
                f = (float)(11.17 * (double)logf((f + 312.0f) / (f + 14675.0f)) + 43.0);
                break;
            default:
                QV_WARNING("_readFileMatlab: Unknown enumeration value of field 'dim2Scaling'");
                break;
            }
            positions[i] = f;
        }
        dim2.finishEditing();
    }

    mxFreeMatrix(values);
    mxFreeMatrix(step);
    mxFreeMatrix(freq);
    matClose(mf);
    return result;
}
