// The simulated program module's resources: dialog templates and strings, read from the same
// resource script (and its header of ids) that the resource compiler builds into the Windows
// executable. Only the subset of the resource language that dialog programs of this kind use is
// understood: DIALOG/DIALOGEX with STYLE, EXSTYLE, CAPTION and FONT, the controls CONTROL,
// PUSHBUTTON, DEFPUSHBUTTON, LTEXT, CTEXT, RTEXT and ICON, STRINGTABLE, ICON resources, and
// #define, #ifdef, #ifndef, #else and #endif lines; #include and LANGUAGE are skipped.
#ifndef RINGWARD_SIM_RESOURCES_H
#define RINGWARD_SIM_RESOURCES_H

#include "platform/platform.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {

struct ControlTemplate {
    std::string text; // the caption, or empty when textId names a resource
    int textId;       // resource ordinal given in place of the text (an icon); -1 when none
    int id;
    std::string className; // "Button", "Static" or the class the script names
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy; // dialog units
};

struct DialogTemplate {
    int id;
    int x, y, cx, cy; // dialog units
    DWORD style;
    DWORD exStyle;
    std::string caption;
    int fontSize;
    std::string fontName;
    std::vector<ControlTemplate> controls;
};

struct ResourceScript {
    std::map<int, DialogTemplate> dialogs;
    std::map<int, std::string> strings;
    std::set<int> icons;
};

// Reads script, with the #define lines of header known first. On a construct outside the
// subset, returns false with error saying where ("line 12: ...").
bool ParseResourceScript(const std::string &script, const std::string &header, ResourceScript *out,
                         std::string *error);

// The resources of the program module, read from the script built into the simulation the first
// time they are needed. A script that cannot be read leaves them empty and says why on stderr.
const ResourceScript &ModuleResources();

} // namespace sim

#endif
