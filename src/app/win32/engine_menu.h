#pragma once
// Options › Translation engine, made from the engine list each time it opens:
// the engines (the main one checked), "Draft" and "Fallback" ("None" and
// every engine but the main one), "Keep the draft line", and a "… settings.."
// item per engine that has settings.
#include "settings/app_settings.h"

#include <windows.h>

namespace kx::win32 {

void FillEngineMenuFrom(HMENU menu, const AppSettings& settings);

} // namespace kx::win32
