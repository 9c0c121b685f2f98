// The upload result: the watch address with its copy and open actions, and
// the terms-of-use link.
#include "app/form1.h"

void Form1::Winsock2_DataArrival(qint64) {}
void Form1::Picture22_Click() {}
void Form1::Picture20_Click() {}
void Form1::Text4_Click() {}
void Form1::Text4_GotFocus() {}
void Form1::Text4_Change() {}
void Form1::Label13_Click() {}

bool Form1::OpenBrowser(QString)
{
    return false;
}
