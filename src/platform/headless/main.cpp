// Entry point of vantrel-headless.
#include "platform/headless/headless.h"

int main(int argc, char** argv) { return headless_main(argc, argv); }
