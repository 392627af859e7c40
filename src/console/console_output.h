#pragma once

// Sets standard output up as a console user expects it: on a terminal every
// print reaches the screen at once, so a partial line such as the adapter's
// ">" is visible while the program waits; otherwise output collects in a
// 4096-byte buffer that is written when it fills and at exit, and reading
// input does not flush it.
void ConfigureStandardOutput();
