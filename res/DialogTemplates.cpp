#include "DialogTemplates.h"

#include <array>

namespace {

using C = ControlClass;

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kOwnerDrawButton = kChild | WS_TABSTOP | BS_OWNERDRAW;
constexpr std::uint32_t kKeyField = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_CENTER;
constexpr std::uint32_t kDropDownList = kChild | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWN;
constexpr std::uint32_t kHiddenPicture = WS_CHILD | SS_BITMAP;

const std::array<DialogTemplate, 6> kTemplates = {{
    // Main window.
    {102,
     212,
     159,
     {
         {1000, C::ComboBox, "", 13, 48, 67, 68, kDropDownList, true, 0},
         {1001, C::Button, "Config", 10, 139, 33, 13, kOwnerDrawButton, true, 0},
         {1, C::Button, "Exit", 156, 139, 33, 13, kOwnerDrawButton, true, 0},
         {1035, C::Button, "HELP", 10, 120, 42, 14, kOwnerDrawButton, true, 0},
         {1037, C::Static, "LINK", 7, 104, 42, 14, WS_CHILD | SS_CENTER | SS_CENTERIMAGE, false, 0},
         {1038, C::Static, "", 132, 0, 80, 138, kHiddenPicture, false, 158},
         {1039, C::Static, "", 130, 0, 83, 138, kHiddenPicture, false, 159},
         {1040, C::Static, "", 133, 0, 83, 137, kHiddenPicture, false, 160},
         {1041, C::Static, "", 130, 0, 82, 138, kHiddenPicture, false, 161},
         {1045, C::Static, "", 131, 0, 81, 138, kHiddenPicture, false, 180},
         {1042, C::Static, "", 132, 0, 80, 137, kHiddenPicture, false, 162},
         {1036, C::Static, "", 130, 0, 82, 137, kHiddenPicture, false, 144},
         {1043, C::Static, "", 130, 0, 82, 138, kHiddenPicture | WS_VISIBLE, true, 176},
         {1056, C::ComboBox, "", 81, 139, 47, 30, kDropDownList, true, 0},
         {-1, C::GroupBox, "Language", 79, 130, 51, 23,
          kChild | WS_DISABLED | BS_GROUPBOX | BS_CENTER, true, 0},
     }},
    // Two-key configuration dialog.
    {129,
     212,
     158,
     {
         {1002, C::Edit, "", 20, 39, 45, 12, kKeyField | ES_NOHIDESEL, true, 0},
         {1003, C::Edit, "", 149, 40, 43, 12, kKeyField, true, 0},
         {1009, C::Button, "LOAD", 85, 141, 30, 8, kOwnerDrawButton, true, 0},
         {1010, C::Button, "RESET", 85, 127, 30, 8, kOwnerDrawButton, true, 0},
         {1, C::Button, "OK", 14, 140, 30, 8, kOwnerDrawButton, true, 0},
         {1008, C::Button, "Cancel", 156, 141, 30, 8, kOwnerDrawButton, true, 0},
     }},
    // QN family configuration dialog.
    {130,
     212,
     159,
     {
         {1011, C::Edit, "", 16, 25, 50, 12, kKeyField, true, 0},
         {1012, C::Edit, "", 16, 47, 50, 12, kKeyField, true, 0},
         {1013, C::Edit, "", 146, 28, 50, 12, kKeyField, true, 0},
         {1014, C::Edit, "", 16, 82, 50, 12, kKeyField, true, 0},
         {1016, C::Button, "LOAD", 85, 141, 30, 8, kOwnerDrawButton, true, 0},
         {1015, C::Button, "RESET", 85, 127, 30, 8, kOwnerDrawButton, true, 0},
         {1, C::Button, "OK", 14, 140, 30, 8, kOwnerDrawButton, true, 0},
         {2, C::Button, "Cancel", 156, 141, 30, 8, kOwnerDrawButton, true, 0},
         {1033, C::Edit, "", 146, 81, 50, 12, kKeyField, true, 0},
     }},
    // LT-61P / LT-65 configuration dialog.
    {131,
     208,
     160,
     {
         {1018, C::Edit, "", 17, 39, 48, 12, kKeyField, true, 0},
         {1019, C::Edit, "", 146, 39, 49, 12, kKeyField, true, 0},
         {1020, C::Edit, "", 17, 76, 49, 12, kKeyField, true, 0},
         {1021, C::Edit, "", 146, 71, 49, 12, kKeyField, true, 0},
         {1022, C::Edit, "", 146, 93, 49, 12, kKeyField, true, 0},
         {1023, C::Button, "LOAD", 85, 141, 30, 8, kOwnerDrawButton, true, 0},
         {1017, C::Button, "RESET", 85, 127, 30, 8, kOwnerDrawButton, true, 0},
         {1, C::Button, "OK", 14, 140, 30, 8, kOwnerDrawButton, true, 0},
         {2, C::Button, "Cancel", 156, 141, 30, 8, kOwnerDrawButton, true, 0},
     }},
    // RV-80 family configuration dialog.
    {132,
     210,
     159,
     {
         {1026, C::Edit, "", 17, 28, 48, 12, kKeyField, true, 0},
         {1027, C::Edit, "", 18, 65, 47, 12, kKeyField, true, 0},
         {1028, C::Edit, "", 145, 28, 50, 12, kKeyField, true, 0},
         {1029, C::Edit, "", 145, 60, 50, 12, kKeyField, true, 0},
         {1030, C::Edit, "", 145, 82, 50, 12, kKeyField, true, 0},
         {1031, C::Edit, "", 17, 102, 48, 12, kKeyField, true, 0},
         {1032, C::Edit, "", 145, 115, 50, 12, kKeyField, true, 0},
         {1025, C::Button, "LOAD", 85, 141, 30, 8, kOwnerDrawButton, true, 0},
         {1024, C::Button, "RESET", 85, 127, 30, 8, kOwnerDrawButton, true, 0},
         {1, C::Button, "OK", 14, 140, 30, 8, kOwnerDrawButton, true, 0},
         {2, C::Button, "Cancel", 156, 141, 30, 8, kOwnerDrawButton, true, 0},
     }},
    // Help dialog.
    {140,
     213,
     157,
     {
         {1, C::Button, "OK", 86, 137, 33, 13, kOwnerDrawButton, true, 0},
     }},
}};

} // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& dialog : kTemplates) {
        if (dialog.id == id)
            return &dialog;
    }
    return nullptr;
}

std::vector<std::string> ControlInitialData(int templateId, int controlId)
{
    if (templateId == 102 && controlId == 1000)
        return {"LT-61", "LT-61P", "LT-65", "RV-80", "RV-80G", "QN-70 Vela", "QN-95 Vela"};
    if (templateId == 102 && controlId == 1056)
        return {"English", "Korean"};
    return {};
}
