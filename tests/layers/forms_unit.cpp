// A file built as though it were one of the forms library's own: it sees exactly the
// headers that the forms sources see. Built as it is, it must compile; built with
// TOLVANE_REACH_QT_VIEW it includes the Qt view's header, which the forms layer has no
// way to reach, and must not compile.
#include "forms/program.h"

#ifdef TOLVANE_REACH_QT_VIEW
#include "platform/qt/qt_view.h"
#endif

// Needs the whole class, so the plain build shows that the forms headers are seen.
static_assert(sizeof(forms::Program) > 0);
