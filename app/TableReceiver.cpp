#include "app/TableReceiver.h"

void pollTable() {}
