// Runs the doctest cases of one test program inside a live application object.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest.h>

#include "Forms.h"

int main(int argc, char** argv) {
    ApplicationScope application;
    doctest::Context context(argc, argv);
    return context.run();
}
