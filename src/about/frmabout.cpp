#include "frmabout.h"
