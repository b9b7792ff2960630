// The program's version, the one place that holds it: the version resource,
// the program note and the release package's name all take it from here.
#pragma once

#define BRUMIK_VERSION_MAJOR 1
#define BRUMIK_VERSION_MINOR 1

#define BRUMIK_STRINGIFY_(x) #x
#define BRUMIK_STRINGIFY(x) BRUMIK_STRINGIFY_(x)
// "1.1"
#define BRUMIK_VERSION_TEXT BRUMIK_STRINGIFY(BRUMIK_VERSION_MAJOR) "." BRUMIK_STRINGIFY(BRUMIK_VERSION_MINOR)
