#include "cloudconfigured.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    cloudConfigured window;
    window.show();
    return app.exec();
}
