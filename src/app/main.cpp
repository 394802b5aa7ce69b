#include "app/OrletteApp.h"

int main(int argc, char *argv[])
{
    return OrletteApp::run(argc, argv);
}
