#include "Bar.h"

Bar::Bar()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(1018, 761);
}
