#include "AccessibleNames.h"

namespace {

struct Label
{
    int templateId;
    int controlId;
    const char* text;
};

// The QN family's boxes carry symbols rather than words; their names say what
// the symbol stands for.
constexpr Label kLabels[] = {
    {102, 1000, "PRODUCT"},       {102, 1056, "Language"},   {129, 1002, "PAGE UP"},
    {129, 1003, "PAGE DOWN"},     {130, 1011, "SLIDE SHOW"}, {130, 1012, "END SLIDE SHOW"},
    {130, 1013, "SWITCH WINDOW"}, {130, 1014, "PREVIOUS"},   {130, 1033, "NEXT"},
    {131, 1018, "PREVIOUS"},      {131, 1019, "NEXT"},       {131, 1020, "BLACK SCREEN"},
    {131, 1021, "START"},         {131, 1022, "END"},        {132, 1026, "BLACK SCREEN"},
    {132, 1027, "DOWN"},          {132, 1028, "UP"},         {132, 1029, "START"},
    {132, 1030, "END"},           {132, 1031, "PREVIOUS"},   {132, 1032, "NEXT"},
};

struct Face
{
    int normal;
    int pressed;
    const char* text;
};

constexpr Face kFaces[] = {
    {136, 135, "OK"},    {138, 137, "EXIT"}, {143, 142, "HELP"},
    {146, 145, "RESET"}, {148, 147, "LOAD"}, {178, 177, "BACK"},
};

struct Heading
{
    int bitmapId;
    const char* text;
};

constexpr Heading kHeadings[] = {
    {134, "Tavrolin presenter key setup"},
    {163, "LT-61 key settings"},
    {164, "LT-61P key settings"},
    {165, "LT-65 key settings"},
    {170, "RV-80 key settings"},
    {172, "QN-95 Vela key settings"},
    {173, "QN-70 Vela key settings"},
    {174, "RV-80G key settings"},
    {175, "QN-90 key settings"},
    {179, "How to use Tavrolin"},
    {181, "Tavrolin \xec\x82\xac\xec\x9a\xa9 \xeb\xb0\xa9\xeb\xb2\x95"}, // "Tavrolin 사용 방법"
};

} // namespace

const char* ControlLabel(int templateId, int controlId)
{
    for (const Label& label : kLabels)
        if (label.templateId == templateId && label.controlId == controlId)
            return label.text;
    return nullptr;
}

const char* ButtonFaceText(int bitmapId)
{
    for (const Face& face : kFaces)
        if (face.normal == bitmapId || face.pressed == bitmapId)
            return face.text;
    return nullptr;
}

std::string BackgroundHeading(int bitmapId)
{
    for (const Heading& heading : kHeadings)
        if (heading.bitmapId == bitmapId)
            return heading.text;
    return {};
}
