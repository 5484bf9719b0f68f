#include "ui/canvas.h"
