// Pointer input from the "table", UDP text datagrams on port 31409.
#pragma once

// Handles the datagrams waiting on the table socket.
void pollTable();
