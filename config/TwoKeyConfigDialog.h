// Configuration dialog of the LT-61 (two buttons).
#pragma once

#include "ConfigDialog.h"

class TwoKeyConfigDialog : public ConfigDialog
{
public:
    explicit TwoKeyConfigDialog(QWidget* parent = nullptr);
};
