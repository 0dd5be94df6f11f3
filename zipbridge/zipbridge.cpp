#include "zipbridge/zipbridge.h"
