// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/Application.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Application quendel;
    if (const auto exitCode = quendel.start())
        return *exitCode;
    return app.exec();
}
