// Time marks read from an ascii file of numbers separated by white space.
// The file is read at the first traversal that finds the marks at their
// default, retried while it is missing, and never read again after a
// successful read; the marks read are not written back into scenes.
#ifndef QV_DATA1_MARKS_FILE_H
#define QV_DATA1_MARKS_FILE_H

#include <Inventor/fields/SoSFString.h>

#include <nodes/qvData1Marks.h>

class qvData1MarksFile : public qvData1Marks {
    SO_NODE_HEADER(qvData1MarksFile);

  public:
    SoSFString filename;

    static void initClass();
    qvData1MarksFile();

    virtual void doAction(SoAction *action);
    virtual void GLRender(SoGLRenderAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void pick(SoPickAction *action);

    // Reads the marks from the file; FALSE when it does not exist.
    SbBool readFile(const SbString filename);
    SbBool _readFileASCII(const SbString filename);

  protected:
    virtual ~qvData1MarksFile();

  private:
    SbBool fileRead;
};

#endif
