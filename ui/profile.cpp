#include "ui/profile.h"
