#include "host/kernel/Kernel.h"
