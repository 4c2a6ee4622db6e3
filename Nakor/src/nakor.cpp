#include "Nakor.h"
