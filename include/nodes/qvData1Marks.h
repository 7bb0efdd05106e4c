// A list of instants (time marks) in rising order, with the colour in
// which consumers draw them. Published into the marks element, apart from
// the one-dimensional series.
#ifndef QV_DATA1_MARKS_H
#define QV_DATA1_MARKS_H

#include <Inventor/fields/SoMFFloat.h>
#include <Inventor/fields/SoSFColor.h>

#include <nodes/qvData1Base.h>

class qvData1Marks : public qvData1Base {
    SO_NODE_HEADER(qvData1Marks);

  public:
    SoMFFloat marks;
    SoSFColor color;

    static void initClass();
    qvData1Marks();

    virtual SoType getRealClassTypeId() const;
    virtual int getNum() const;
    virtual int getNumValues() const;
    // marks[i]; 0 and a warning outside the list.
    virtual float getTime(int index) const;
    virtual float getTimeMin() const;
    virtual float getTimeMax() const;
    // Mark nearest to time, searched from startIndex; -1 for no marks.
    virtual int getIndex(float time, int startIndex) const;
    virtual SbBool isRegularSampled() const;
    // The first and the last mark.
    virtual void getValueMinMax(float &min, float &max) const;
    // Pointer to mark i, or none.
    virtual const float *getValue(int index) const;

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

  protected:
    virtual ~qvData1Marks();
};

#endif
