#include "app/AppMain.h"

int main(int argc, char** argv) {
    return qm::RunQuillmere(argc, argv);
}
