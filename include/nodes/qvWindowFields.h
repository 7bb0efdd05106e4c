// The window fields the shapes share with the scene: a new shape follows
// the global fields "qvPast", "qvFuture" and "qvComplexity" that exist
// when it is made.
#ifndef QV_WINDOW_FIELDS_H
#define QV_WINDOW_FIELDS_H

#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFTime.h>

void qvConnectWindowFields(SoSFTime &past, SoSFTime &future, SoSFFloat &complexity);

#endif
