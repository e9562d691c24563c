// Configuration dialog of RV-80 and RV-80G (seven buttons).
#pragma once

#include "ConfigDialog.h"

class Rv80ConfigDialog : public ConfigDialog
{
public:
    explicit Rv80ConfigDialog(QWidget* parent = nullptr);
};
