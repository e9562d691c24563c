// The language of the messages when --lang does not name one: Korean when
// the locale of messages is a Korean one, as gettext decides it.
#pragma once

#include "Messages.h"

// LC_ALL, else LC_MESSAGES, else LANG (empty values count as unset): a value
// starting with "ko" is Korean, anything else English.
Language LanguageFromEnvironment();
