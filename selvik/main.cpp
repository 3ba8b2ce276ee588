#include "selvik/selvik_app.h"

int main(int argc, char** argv) {
    return selvik::RunSelvik(argc, argv);
}
