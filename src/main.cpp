#include "bar/Bar.h"
#include "startup/AppModul.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (const auto exitCode = AppModul::Main([] { TheForm<Bar>().show(); }))
        return *exitCode;
    return app.exec();
}
