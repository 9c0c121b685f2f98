#pragma once

#include <QDialog>

class Form1;

// The account dialog "My You Tube Account".
class Form2 : public QDialog
{
    Q_OBJECT
public:
    explicit Form2(Form1 &main, QWidget *parent = nullptr);

private:
    Form1 &m_main;
};
