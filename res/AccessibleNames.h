#pragma once

#include <string>

// Words for what the skin only draws, so that a screen reader names each
// control as a sighted user reads it. Kept beside the templates: the artwork
// generator draws the same labels around the same control ids.

// The label drawn beside control controlId of template templateId (a key
// field's "PAGE UP"); nullptr when none is drawn.
const char* ControlLabel(int templateId, int controlId);

// The word on a button face bitmap (normal, pressed or focused); nullptr for a
// bitmap that is no button face.
const char* ButtonFaceText(int bitmapId);

// The heading drawn across a dialog background ("RV-80 key settings"); empty
// for a bitmap that is no dialog background.
std::string BackgroundHeading(int bitmapId);
