// The attached modules as the front ends list them: for people, a header and
// one line of tab-separated columns per module, its strings made printable;
// for scripts, the same as one JSON array. Also the words for a choice of
// module that a front end refuses before anything is opened.
#pragma once

#include "connection/modules.h"

#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// Whether another program holds the module right now, looked up without
// opening it: "free", "held by lumoractl (process 4242)", "held by another
// program" (when the system does not say who), or "not accessible" (this
// user may not open it).
std::string ModuleState(const ModuleInfo& module);

// The header line, then one line per module: port, serial, product,
// manufacturer, state, and its hidraw nodes (command interface first,
// separated by spaces). An empty field stays empty; every field is made
// printable.
std::string RenderModuleTable(const std::vector<ModuleInfo>& modules);

// The same as one JSON array of objects, one per line, with the keys port,
// serial, product, manufacturer, state and nodes (an array). Strings keep
// their own text; JSON escapes them: quotes, backslashes and every character
// outside ASCII, and bytes that are not UTF-8 become U+FFFD.
std::string RenderModuleJson(const std::vector<ModuleInfo>& modules);

// A JSON string literal of text, as RenderModuleJson writes them.
std::string JsonString(std::string_view text);

// The refusal of a choice option given without a value, in the front end's
// own name for the option: "'--serial' needs a serial number".
std::string ChoiceNeedsValue(std::string_view option, ModuleChoice::By by);

// The refusal of two choice options given together: "'--port' and
// '--serial' do not go together: each chooses the module".
std::string ChoicesConflict(std::string_view first, std::string_view second);

}  // namespace lumora
