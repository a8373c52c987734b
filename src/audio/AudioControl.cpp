#include "AudioControl.h"
