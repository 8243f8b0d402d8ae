// RBPNDLST: the pending-receipts report module. Takes no arguments; the
// launcher's environment variables locate the installation.
#include "app/main_flow.h"

int main() { return app::RunMainFlow(); }
