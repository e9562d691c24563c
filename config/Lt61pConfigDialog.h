// Configuration dialog of LT-61P and LT-65 (five buttons).
#pragma once

#include "ConfigDialog.h"

class Lt61pConfigDialog : public ConfigDialog
{
public:
    explicit Lt61pConfigDialog(QWidget* parent = nullptr);
};
