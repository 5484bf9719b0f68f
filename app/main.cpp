// Tolvane, a desktop alarm clock.
#include "app/tolvane_app.h"

int main(int argc, char** argv) { return app::runTolvane(argc, argv); }
