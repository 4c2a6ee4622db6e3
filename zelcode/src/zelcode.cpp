#include "zelcode.h"
