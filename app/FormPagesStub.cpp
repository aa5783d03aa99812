// Placeholders for the page handlers until FormPages.cpp exists.
#include "Form1.h"

void TForm1::BitBtn1Click(QObject*) {}
void TForm1::CalcQTHtoGeoClick(QObject*) {}
void TForm1::btEnterCurrHeadClick(QObject*) {}
void TForm1::CheckBox2Click(QObject*) {}
void TForm1::updateCarPage(double, const std::string&) {}
