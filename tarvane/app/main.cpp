#include "tarvane/shell/tarvane_app.h"

int main(int argc, char** argv) {
    return tarvane::RunTarvane(argc, argv);
}
