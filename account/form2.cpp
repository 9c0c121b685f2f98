#include "account/form2.h"

#include "app/form1.h"

#include <QPushButton>

using namespace Qt::StringLiterals;

Form2::Form2(Form1 &main, QWidget *parent)
    : QDialog(parent ? parent : &main)
    , m_main(main)
{
    setObjectName(u"Form2"_s);
    setWindowTitle(u"My You Tube Account"_s);
    setFixedSize(402, 241);
    auto *cancel = new QPushButton(u"Cancel"_s, this);
    cancel->setObjectName(u"Label6"_s);
    cancel->setGeometry(201, 204, 117, 32);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}
