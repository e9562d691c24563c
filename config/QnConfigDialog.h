// Configuration dialog of QN-90, QN-70 Vela and QN-95 Vela (five buttons).
#pragma once

#include "ConfigDialog.h"

class QnConfigDialog : public ConfigDialog
{
public:
    explicit QnConfigDialog(QWidget* parent = nullptr);
};
