// Everything a program needs to use the toolkit: every node, element
// and engine header.
#ifndef QV_SUITE_ALL_H
#define QV_SUITE_ALL_H

#include <qvDebug.h>

#include <elements/qvNodeElement.h>
#include <elements/qvData1Element.h>
#include <elements/qvData2Element.h>
#include <elements/qvDataMarksElement.h>
#include <elements/qvNormalElement.h>
#include <elements/qvTimeElement.h>

#include <nodes/qvSuite.h>
#include <nodes/qvDataBase.h>
#include <nodes/qvData1Base.h>
#include <nodes/qvData2Base.h>
#include <nodes/qvData1Marks.h>
#include <nodes/qvData1MarksFile.h>
#include <nodes/qvData1NFloat.h>
#include <nodes/qvData1RFloat.h>
#include <nodes/qvData1RFloatFile.h>
#include <nodes/qvAudio.h>
#include <nodes/qvData2RNFloat.h>
#include <nodes/qvData2RNFloatFile.h>
#include <nodes/qvTime.h>
#include <nodes/qvLine.h>
#include <nodes/qvNormal.h>
#include <nodes/qvSurface.h>

#include <engines/qvData2ToPackedColor.h>
#include <engines/qvMultFloatVec3f.h>

#endif
