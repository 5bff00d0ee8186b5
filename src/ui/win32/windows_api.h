// Windows' own headers for the Win32 back end, included after the layer's
// headers: the layer's flags and metrics have Windows' names and values, and
// the member names that Windows turns into ...W macros (SetWindowText,
// GetWindowText, AppendMenu) are freed again, so that the layer's members
// link. The back end calls the ...W functions by their full names.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#undef SetWindowText
#undef GetWindowText
#undef AppendMenu

#include "link/utf8.h"

#include <string>

namespace lumora::ui {

// The layer's UTF-8 text as Windows' UTF-16; text that is not UTF-8 shows as
// one replacement character rather than in part.
inline std::wstring Wide(const std::string& text) { return FromUtf8(text).value_or(L"\uFFFD"); }

}  // namespace lumora::ui
