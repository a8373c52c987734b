#include "DirectSound.h"
