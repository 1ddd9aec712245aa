#include "GuiTestSupport.h"

int main(int argc, char** argv) {
    return hc12::testing::RunGuiTests(argc, argv);
}
