#include "store/Main.h"
