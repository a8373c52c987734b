#include "bar/Bar.h"
#include "startup/AppModul.h"
#include "startup/RunningCopy.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (const auto exitCode =
            AppModul::Main([] { TheForm<Bar>().show(); }, [] { ShowRaised(TheForm<Bar>()); }))
        return *exitCode;
    return app.exec();
}
