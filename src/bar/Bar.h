#pragma once

#include "startup/Form.h"

// The main window: a frameless skinned bar of 1018 x 761 pixels.
class Bar : public Form {
public:
    Bar();
};
