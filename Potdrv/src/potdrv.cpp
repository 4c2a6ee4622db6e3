#include "Potdrv.h"
