// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/OrletteApp.h"

int main(int argc, char *argv[])
{
    return OrletteApp::run(argc, argv);
}
