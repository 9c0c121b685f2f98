// File selection on the main window: Browse, the red X, the read-only file
// box, UPLOAD! and the preview.
#include "app/form1.h"

void Form1::Label4_Click() {}

void Form1::Picture8_Click() {}

void Form1::Text1_Change() {}

void Form1::Label5_Click() {}
