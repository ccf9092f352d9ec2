// The console manual: the only place where the controls are explained to the players.
#pragma once

// Writes the whole manual to standard output, framed by two empty lines on each side.
void printManual();
