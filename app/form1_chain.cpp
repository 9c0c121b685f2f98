// The upload chain: login, upload page, metadata form, file post, progress,
// Cancel, Upload New and the connection errors.
#include "app/form1.h"

void Form1::Winsock1_Connect() {}
void Form1::Winsock1_DataArrival(qint64) {}
void Form1::Command4_Click() {}
void Form1::Winsock3_Connect() {}
void Form1::Winsock3_DataArrival(qint64) {}
void Form1::Command5_Click() {}
void Form1::Winsock4_Connect() {}
void Form1::Winsock4_DataArrival(qint64) {}
void Form1::Timer3_Timer() {}
void Form1::Command3_Click() {}
void Form1::Winsock2_Connect() {}
void Form1::Winsock2_SendProgress(qint64, qint64) {}
void Form1::Label12_Click() {}
void Form1::Label21_Click() {}
void Form1::Winsock1_Error() {}
void Form1::Winsock2_Error() {}
void Form1::Winsock3_Error() {}
void Form1::Winsock4_Error() {}
