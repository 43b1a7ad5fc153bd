#pragma once
// Signatures of the ezTrans engine's five entry points. They use the Windows
// standard calling convention (the callee removes its arguments); natively the
// attribute is empty so that tests can stand in plain functions.

#if defined(_WIN32) && !defined(_WIN64)
#define KX_STDCALL __stdcall
#else
#define KX_STDCALL
#endif

namespace kx {

using J2K_InitializeExFn = int(KX_STDCALL*)(const char* userKey, const char* dataFolder);
using J2K_TranslateMMNTFn = char*(KX_STDCALL*)(int reserved, const char* shiftJisText);
using J2K_FreeMemFn = void(KX_STDCALL*)(char* translation);
using J2K_StopTranslationFn = void(KX_STDCALL*)(int reserved);
using J2K_TerminateFn = void(KX_STDCALL*)();

} // namespace kx
