#include "SettingsStore.h"
