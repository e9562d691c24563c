#include "Locale.h"

#include <cstdlib>
#include <string>

Language LanguageFromEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        const std::string locale = value;
        // "ko", "ko_KR.UTF-8", "ko_KR.eucKR" but not "kok_IN" (Konkani).
        const bool korean = locale.rfind("ko", 0) == 0 && (locale.size() == 2 || locale[2] == '_' ||
                                                           locale[2] == '.' || locale[2] == '@');
        return korean ? Language::Korean : Language::English;
    }
    return Language::English;
}
